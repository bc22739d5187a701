// TFormDownload offscreen: its controls, the buttons locked during a transfer and always given
// back, the connection test, the file buttons and the bar's visible colour.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "FakeModule.h"
#include "support/RecordingAnnouncer.h"
#include "base/Errors.h"
#include "base/FileStore.h"
#include "params/FieldCatalog.h"
#include "params/ParameterText.h"
#include "transfer/CompareDifferences.h"
#include "transfer/DownloadForm.h"
#include "widgets/MessageBoxes.h"

namespace orbiqa {
namespace {

using test::FakeModule;
using ::testing::Each;

const char* const kSevenButtons[] = {"btOpen",    "btSave", "btRead", "btWrite",
                                     "btCompare", "btEdit", "btClose"};

class DownloadFormTest : public ::testing::Test {
protected:
    DownloadFormTest() {
        hooks.showMessage = [this](const QString& text) { messages << text; };
        hooks.chooseFile = [this](TFormDownload::FileDialogKind kind, const QString& last) {
            offered << last;
            kinds.push_back(kind);
            return nextFile;
        };
        hooks.openEditor = [this] { ++editorOpened; };
        form = std::make_unique<TFormDownload>(module, image, hooks);
        // Answers arrive through the event loop, as the port's hand-overs do. The window is the
        // call's context, so an answer still queued when a test ends dies with its window.
        module.onSend = [this] {
            QTimer::singleShot(0, form.get(), [this] {
                for (const char* name : kSevenButtons)
                    enabledDuringTransfer |= Button(name)->isEnabled();
                stopEnabledDuringTransfer &= Button("btStop")->isEnabled();
                module.Deliver();
            });
        };
    }

    QPushButton* Button(const char* name) const {
        return form->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QProgressBar* Progress() const {
        return form->findChild<QProgressBar*>(QStringLiteral("Progress"));
    }
    bool AllEnabled() const {
        bool all = true;
        for (const char* name : kSevenButtons) all &= Button(name)->isEnabled();
        return all;
    }

    FakeModule module;
    std::array<std::uint8_t, kParameterImageSize> image{};
    TFormDownload::Hooks hooks;
    QStringList messages;
    QStringList offered;
    std::vector<TFormDownload::FileDialogKind> kinds;
    QString nextFile;
    int editorOpened = 0;
    bool enabledDuringTransfer = false;
    bool stopEnabledDuringTransfer = true;
    std::unique_ptr<TFormDownload> form;
};

TEST_F(DownloadFormTest, ControlsCaptionsAndFreshImage) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Paraméterek beállítása"));
    EXPECT_EQ(form->size(), QSize(276, 276));
    EXPECT_EQ(Progress()->minimum(), 0);
    EXPECT_EQ(Progress()->maximum(), 12);
    EXPECT_EQ(Progress()->accessibleName(), QStringLiteral("Átvitel állapota"));
    const std::pair<const char*, const char*> captions[] = {
        {"btOpen", "Beolvasás fájlból"},
        {"btSave", "Mentés fájlba"},
        {"btRead", "<-- Adatok beolvasása a modulból"},
        {"btWrite", "--> Adatok áttöltése a modulba"},
        {"btCompare", "<--> Adatok összehasonlítása"},
        {"btEdit", "Adatok szerkesztése"},
        {"btStop", "Stop"},
        {"btClose", "Ablak bezárása"}};
    for (const auto& [name, caption] : captions) {
        QPushButton* b = Button(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->text(), QString::fromUtf8(caption));
        EXPECT_EQ(b->accessibleName(), QString::fromUtf8(caption));
        EXPECT_TRUE(b->font().bold());
    }
    EXPECT_GT(Button("btEdit")->height(), Button("btRead")->height());
    EXPECT_NE(form->findChild<QTimer*>(QStringLiteral("Timer1")), nullptr);
    EXPECT_TRUE(form->findChild<QTimer*>(QStringLiteral("Timer1"))->isActive());
    EXPECT_THAT(image, Each(0xFF));
    EXPECT_EQ(QtFileFilter(QString::fromLatin1(TFormDownload::kFileFilter)),
              QStringLiteral("Velmora 3 GPRS Data (*.VR3)"));
}

TEST_F(DownloadFormTest, ButtonsAreLockedDuringATransferAndComeBack) {
    module.memory.fill(0x21);
    form->btReadClick();
    EXPECT_FALSE(enabledDuringTransfer);
    EXPECT_TRUE(stopEnabledDuringTransfer);
    EXPECT_TRUE(AllEnabled());
    EXPECT_EQ(form->BarPosition(), 15);
    EXPECT_EQ(Progress()->value(), 12);  // 12..15 all show full
    EXPECT_THAT(std::span(image).first(kModuleMemorySize), Each(0x21));
    EXPECT_EQ(module.waits.size(), 0u);  // the Qt waiter, not the fake's, did the waiting
}

TEST_F(DownloadFormTest, SendErrorLeavesTheHandlerButGivesTheButtonsBack) {
    module.failOnSend = 3;
    EXPECT_THROW(form->btWriteClick(), EComPort);
    EXPECT_TRUE(AllEnabled());
}

TEST_F(DownloadFormTest, ClosedPortShowsTheMessageAndChangesNothing) {
    module.connected = false;
    form->btCompareClick();
    EXPECT_EQ(messages, QStringList{QStringLiteral(" Nincs soros kapcsolat.")});
    EXPECT_TRUE(module.sent.empty());
    EXPECT_TRUE(AllEnabled());
    EXPECT_THAT(image, Each(0xFF));
}

TEST_F(DownloadFormTest, TheMessageIsTheProgramsPlainBoxOwnedByTheWindow) {
    std::vector<BoxRequest> boxes;
    SetMessageBoxHook([&boxes](const BoxRequest& r) { boxes.push_back(r); });
    TFormDownload::Hooks plain = hooks;
    plain.showMessage = nullptr;
    TFormDownload window(module, image, plain);
    module.connected = false;
    window.btCompareClick();
    SetMessageBoxHook(nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, QStringLiteral(" Nincs soros kapcsolat."));
    EXPECT_EQ(boxes[0].Icon, BoxIcon::None);
    EXPECT_EQ(boxes[0].Caption, ApplicationCaption());
    EXPECT_EQ(boxes[0].Parent, &window);
}

TEST_F(DownloadFormTest, FailedWriteAtBlockZeroShowsRedAtOne) {
    form->Waiter().Timer1().setInterval(2);  // run the 80-tick wait out quickly
    module.noAckFromBlock = 0;
    form->btWriteClick();
    EXPECT_EQ(Progress()->value(), 1);
    EXPECT_EQ(form->Colour(), BarColour::Red);
    EXPECT_EQ(form->Waiter().ReplyCountdown(), 0);
    EXPECT_TRUE(AllEnabled());
}

TEST_F(DownloadFormTest, FileButtonsRememberTheirNamesAndCancelResetsTheBar) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("orbiqa-form-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const QString saved = QString::fromStdString((dir / "fresh.VR3").string());

    nextFile = saved;
    form->btSaveClick();  // a fresh image is an erased memory
    std::ifstream in(saved.toStdString(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    in.close();  // an open file cannot be removed on Windows
    EXPECT_EQ(bytes, std::string(kParameterImageSize, '\xFF'));

    image.fill(0);
    form->SetBarColour(BarColour::Red);
    form->btOpenClick();
    EXPECT_EQ(Progress()->value(), 12);
    EXPECT_EQ(form->Colour(), BarColour::Green);
    EXPECT_THAT(image, Each(0xFF));

    nextFile.clear();  // cancelled
    form->SetBarColour(BarColour::Red);
    form->btOpenClick();
    EXPECT_EQ(Progress()->value(), 0);
    EXPECT_EQ(form->Colour(), BarColour::Green);

    nextFile = QString::fromStdString((dir / "missing.VR3").string());
    image.fill(0x77);
    EXPECT_THROW(form->btOpenClick(), EFileError);
    EXPECT_EQ(Progress()->value(), 0);
    EXPECT_THAT(image, Each(0x77));

    // Each dialog offers its own last name.
    EXPECT_EQ(offered,
              (QStringList{QStringLiteral("*.VR3"), QStringLiteral("*.VR3"), saved, saved}));
    nextFile.clear();
    form->btSaveClick();
    EXPECT_EQ(offered.last(), saved);
    EXPECT_EQ(form->LastOpenName(), QString::fromStdString((dir / "missing.VR3").string()));
    fs::remove_all(dir);
}

TEST_F(DownloadFormTest, APipeChosenForOpeningIsRefusedAtOnce) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows gives pipes no names among the files";
#else
    namespace fs = std::filesystem;
    const fs::path fifo =
        fs::temp_directory_path() / ("orbiqa-form-fifo-" + std::to_string(::getpid()));
    fs::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    nextFile = QString::fromStdString(fifo.string());
    image.fill(0x31);
    try {
        form->btOpenClick();
        ADD_FAILURE() << "opened a pipe";
    } catch (const EFileError& e) {
        EXPECT_STREQ(e.what(), kNotRegularFileText);
    }
    EXPECT_THAT(image, Each(0x31));
    fs::remove(fifo);
#endif
}

TEST_F(DownloadFormTest, ALostDeviceEndsTheTransferWithoutTheFullWaitAndKeepsTheImage) {
    image.fill(0x42);
    module.loseDeviceOnRequestOfBlock = 3;
    int ticks = 0;
    QObject::connect(&form->Waiter().Timer1(), &QTimer::timeout, [&] { ++ticks; });
    const TransferResult r = form->Engine().Read();
    EXPECT_EQ(r.outcome, TransferOutcome::DeviceLost);
    EXPECT_LT(ticks, kReadReplyTicks / 2);
    EXPECT_THAT(image, Each(0x42));
    EXPECT_TRUE(AllEnabled());
}

TEST_F(DownloadFormTest, EditOpensTheEditorAndCloseHides) {
    form->show();
    form->btEditClick();
    EXPECT_EQ(editorOpened, 1);
    form->btCloseClick();
    EXPECT_FALSE(form->isVisible());
}

TEST_F(DownloadFormTest, TheBarShowsItsColour) {
    module.memory.fill(0);
    form->btReadClick();  // a full green bar
    const auto centreColour = [&] {
        return QColor(form->grab().toImage().pixel(Progress()->geometry().center()));
    };
    EXPECT_EQ(centreColour(), QColor(0, 128, 0));
    form->SetBarColour(BarColour::Red);
    EXPECT_EQ(centreColour(), QColor(255, 0, 0));
}

TEST_F(DownloadFormTest, ACompareThatDiffersNamesTheSettings) {
    image.fill(0);
    form->btWriteClick();  // the module and ModuleCopy now hold the image
    auto* label = form->findChild<QLabel*>(QStringLiteral("lbDifferences"));
    ASSERT_NE(label, nullptr);
    const std::array<std::uint8_t, 3> user1{1, '6', 0}, sms1{1, 'x', 0};
    std::copy(user1.begin(), user1.end(), module.memory.begin() + 51);
    std::copy(sms1.begin(), sms1.end(), module.memory.begin() + 309);
    module.memory[130] = 0x01;  // a byte no setting covers
    form->btCompareClick();
    EXPECT_EQ(form->Colour(), BarColour::Red);
    // By the editor's captions; the label shows what fits its line, the description all of it.
    const QString both = QString::fromUtf8("Eltérő beállítások: 1. Felhasználó (#USER1), 1. SMS üzenet szövege");
    EXPECT_EQ(label->accessibleDescription(), both);
    EXPECT_EQ(label->toolTip(), both);
    EXPECT_THAT(label->text().toStdString(),
                ::testing::AnyOf(QString::fromUtf8("Eltér: 1. Felhasználó (#USER1), 1. SMS üzenet szövege").toStdString(),
                                 QString::fromUtf8("Eltér: 1. Felhasználó (#USER1) és még 1").toStdString()));

    std::fill_n(module.memory.begin() + 51, 3, 0);
    std::fill_n(module.memory.begin() + 309, 3, 0);
    form->btCompareClick();
    EXPECT_EQ(label->text(), QString::fromUtf8("Beállításon kívüli bájtok: 2. blokk"));
    EXPECT_EQ(label->accessibleDescription(), QString::fromUtf8("Beállításon kívüli bájtok térnek el: 2. blokk"));
    module.memory[130] = 0;
    form->btCompareClick();
    EXPECT_EQ(form->Colour(), BarColour::Green);
    EXPECT_EQ(label->text(), QString());
}

// Many differences: one line with as many captions as fit and the count of the rest, whatever
// the font; the announcement names the first few.
TEST_F(DownloadFormTest, ManyDifferencesKeepTheLabelToOneLine) {
    image.fill(0);
    form->btWriteClick();
    ParameterImage edited;
    std::copy_n(module.memory.begin(), kModuleMemorySize, edited.begin());
    ASSERT_EQ(SetFieldValue(edited, "CallMax", "7"), std::nullopt);
    ASSERT_EQ(SetFieldValue(edited, "USER1", "0630"), std::nullopt);
    ASSERT_EQ(SetFieldValue(edited, "USER2", "0631"), std::nullopt);
    ASSERT_EQ(SetFieldValue(edited, "SMS2", "Riasztás"), std::nullopt);
    ASSERT_EQ(SetFieldValue(edited, "PhnrEnabled1", "201234567"), std::nullopt);
    ASSERT_EQ(SetFieldValue(edited, "BELLPhnrEnabled1", "201234567"), std::nullopt);
    ASSERT_EQ(SetFieldValue(edited, "SMSFW1", "0632"), std::nullopt);
    std::copy_n(edited.begin(), kModuleMemorySize, module.memory.begin());
    form->show();  // a hidden window says nothing
    test::RecordingAnnouncer announcer;
    form->btCompareClick();
    const QStringList announced = announcer.Take();

    auto* label = form->findChild<QLabel*>(QStringLiteral("lbDifferences"));
    const QString text = label->text();
    EXPECT_TRUE(text.startsWith(QString::fromUtf8("Eltér: SMS"))) << text.toStdString();
    EXPECT_LE(label->fontMetrics().horizontalAdvance(text), label->contentsRect().width()) << text.toStdString();
    const QString all = label->accessibleDescription();
    EXPECT_EQ(all.toStdString(), QString::fromUtf8("Eltérő beállítások: SMS továbbítás 1. (#SMSFW1), 1. Felhasználó (#USER1), "
                                     "2. Felhasználó (#USER2), 1. Engedélyezett hívószám (Híváskorlátozás), "
                                     "Bejövő hívás idejének korlátozása (0-25 perc), 2. SMS üzenet szövege, "
                                     "1. Engedélyezett hívószám (Bell 103)").toStdString());
    // The label names whole captions and counts the rest: shown + counted = all seven.
    const QRegularExpression more(QString::fromUtf8(" és még (\\d+)$"));
    const QRegularExpressionMatch m = more.match(text);
    ASSERT_TRUE(m.hasMatch()) << text.toStdString();
    if (!text.contains(QChar(0x2026))) {
        const QString shown = text.left(m.capturedStart()).mid(7);
        EXPECT_TRUE(all.mid(20).startsWith(shown)) << text.toStdString();
        EXPECT_EQ(shown.count(QStringLiteral(", ")) + 1 + m.captured(1).toInt(), 7);
    }
    ASSERT_EQ(announced.size(), 1);
    EXPECT_EQ(announced[0].toStdString(), QString::fromUtf8("Az adatok eltérnek (első eltérés: blokk 0). Eltérő beállítások: "
                                              "SMS továbbítás 1. (#SMSFW1), 1. Felhasználó (#USER1), "
                                              "2. Felhasználó (#USER2) és még 4").toStdString());
}

TEST(CompareDifferenceList, ShortTextCountsWhatDoesNotFit) {
    CompareDifferences found{QStringLiteral("Eltérő: "), QStringLiteral("E: "),
                             {QStringLiteral("aaaa"), QStringLiteral("bbbbbbbbbbbb"), QStringLiteral("c")}};
    const auto upTo = [](qsizetype n) { return [n](const QString& line) { return line.size() <= n; }; };
    const auto shortText = [&](qsizetype n) { return found.ShortText(upTo(n)).toStdString(); };
    EXPECT_EQ(shortText(100), "E: aaaa, bbbbbbbbbbbb, c");
    // "E: aaaa, bbbbbbbbbbbb és még 1" is longer than the whole list: the whole list it is.
    EXPECT_EQ(shortText(24), "E: aaaa, bbbbbbbbbbbb, c");
    EXPECT_EQ(shortText(23), "E: aaaa és még 2");
    // The first always stands, cut to what the line leaves for it, however narrow.
    EXPECT_EQ(shortText(16), "E: aaaa és még 2");
    EXPECT_EQ(shortText(15), "E: aa… és még 2");
    EXPECT_EQ(shortText(0), "E: … és még 2");
    EXPECT_EQ(found.Text(1).toStdString(), "Eltérő: aaaa és még 2");
    EXPECT_EQ(found.Text(9), found.FullText());
    EXPECT_EQ(CompareDifferences{}.ShortText(upTo(100)), QString());
    EXPECT_EQ(CompareDifferences{}.FullText(), QString());
}

TEST_F(DownloadFormTest, OpeningATextReadsItAndNeverTakesItForAnImage) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("orbiqa-form-text-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    ParameterImage set;
    ASSERT_EQ(SetFieldValue(set, "USER1", "0630"), std::nullopt);
    const std::string text = ExportText(set);
    ASSERT_GT(text.size(), kParameterImageSize);  // long enough to pass for an image
    SaveFile((dir / "set.txt").string(), text);
    nextFile = QString::fromStdString((dir / "set.txt").string());
    form->btOpenClick();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), set.begin()));

    SaveFile((dir / "bad.txt").string(), "# Orbiqa parameter set\nUSER1 = 06a\n");
    nextFile = QString::fromStdString((dir / "bad.txt").string());
    EXPECT_THROW(form->btOpenClick(), EFileError);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), set.begin()));
    fs::remove_all(dir);
}

// A file handed over by the command line, a second start or a drop is read as "Beolvasás
// fájlból" reads it; what fails is told in Hungarian, naming the file as a person would write it.
TEST_F(DownloadFormTest, AHandedOverFileIsReadAsTheOpenButtonReadsIt) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("orbiqa-form-hand-" + std::to_string(::getpid()));
    fs::create_directories(dir / "run");
    ParameterImage set;
    ASSERT_EQ(SetFieldValue(set, "SMS2", "Hálózati hiba"), std::nullopt);
    SaveFile((dir / "out.VR3").string(), ExportText(set));
    form->OpenFile(QString::fromStdString((dir / "out.VR3").string()));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), set.begin()));
    EXPECT_EQ(Progress()->value(), 12);

    const auto refusal = [&](const fs::path& path) -> std::string {
        try {
            form->OpenFile(QString::fromStdString(path.string()));
        } catch (const EFileError& e) {
            return e.what();
        }
        return "(opened)";
    };
    const std::string shown = (dir / "missing.VR3").string();
    EXPECT_EQ(refusal(dir / "run" / ".." / "missing.VR3"), "Ez a fájl nem nyílt meg: " + shown + "\nNincs ilyen fájl");
    EXPECT_EQ(refusal(dir / "run"), "Ez a fájl nem nyílt meg: " + (dir / "run").string() + "\nEz egy mappa, nem fájl");
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((dir / "pipe.VR3").c_str(), 0600), 0);
    EXPECT_THAT(refusal(dir / "pipe.VR3"), ::testing::HasSubstr("csővezeték vagy eszköz"));
#endif
    SaveFile((dir / "twice.VR3").string(), "# Orbiqa parameter set\nUSER1 = 1\nUSER1 = 2\n");
    EXPECT_THAT(refusal(dir / "twice.VR3"), ::testing::HasSubstr("line 3: USER1 is set again; line 2"));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), set.begin()));
    EXPECT_EQ(Progress()->value(), 0);

    EXPECT_EQ(TFormDownload::BusyText(QString::fromStdString((dir / "run" / ".." / "out.VR3").string())),
              QString::fromStdString("Adatátvitel vagy szerkesztés folyik, ez a fájl nem nyílt meg: " +
                                     (dir / "out.VR3").string()));
    fs::remove_all(dir);
}

TEST_F(DownloadFormTest, ATextThatLeavesSettingsOutSaysWhichAndTheCompareListGoesWithANewFile) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("orbiqa-form-left-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    image.fill(0);
    form->btWriteClick();
    module.memory[51] = 1;  // USER1 differs
    form->btCompareClick();
    auto* label = form->findChild<QLabel*>(QStringLiteral("lbDifferences"));
    ASSERT_FALSE(label->text().isEmpty());

    ASSERT_FALSE(Progress()->accessibleDescription().isEmpty());

    SaveFile((dir / "part.txt").string(), "# Orbiqa parameter set\nUSER1 = 0620\n");
    nextFile = QString::fromStdString((dir / "part.txt").string());
    form->btOpenClick();
    EXPECT_EQ(label->text(), QString());
    EXPECT_EQ(label->accessibleDescription(), QString());
    EXPECT_EQ(Progress()->accessibleDescription(), QString::fromUtf8("Fájl beolvasva"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QString::fromUtf8(
        "A szöveg 47 beállítást nem ad meg, ezek egy törölt modul értékét kapták: ")))
        << messages[0].toStdString();
    EXPECT_TRUE(messages[0].endsWith(QString::fromUtf8(" és még 42"))) << messages[0].toStdString();
    fs::remove_all(dir);
}

// A caption too long for the line alone is cut after a word, never inside its parenthesis.
TEST(CompareDifferenceList, ACutCaptionLeavesNoOpenParenthesis) {
    const CompareDifferences found{QString(), QStringLiteral("E: "),
                                   {QStringLiteral("1. Felhasználó (#USER1)"), QStringLiteral("b")}};
    const auto cut = [&](qsizetype n) {
        return found.ShortText([n](const QString& line) { return line.size() <= n; }).toStdString();
    };
    EXPECT_EQ(cut(28), QString::fromUtf8("E: 1. Felhasználó… és még 1").toStdString());
    EXPECT_EQ(cut(22), QString::fromUtf8("E: 1.… és még 1").toStdString());
    EXPECT_EQ(cut(14), QString::fromUtf8("E: 1… és még 1").toStdString());
    EXPECT_EQ(cut(0), QString::fromUtf8("E: … és még 1").toStdString());
}

TEST(RenderDownloadForm, WritesTheGreenAndTheRedPicture) {
    const QString dir = QString::fromStdString(std::filesystem::temp_directory_path().string());
    const QString path = dir + QStringLiteral("/orbiqa-download-%1.png").arg(::getpid());
    const QString red = dir + QStringLiteral("/orbiqa-download-%1-red.png").arg(::getpid());
    RenderDownloadForm(path);
    const QImage g(path), r(red);
    ASSERT_FALSE(g.isNull());
    ASSERT_FALSE(r.isNull());
    EXPECT_EQ(g.size(), QSize(276, 276));
    EXPECT_EQ(QColor(g.pixel(20, 19)), QColor(0, 128, 0));
    EXPECT_EQ(QColor(r.pixel(20, 19)), QColor(255, 0, 0));
    if (qEnvironmentVariableIsEmpty("ORBIQA_KEEP_RENDER")) {
        QFile::remove(path);
        QFile::remove(red);
    }
}

}  // namespace
}  // namespace orbiqa
