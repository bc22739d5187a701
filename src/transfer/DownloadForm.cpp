#include "transfer/DownloadForm.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QGuiApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

#include "base/FileStore.h"
#include "params/FieldCatalog.h"
#include "transfer/CompareDifferences.h"
#include "transfer/ModuleSession.h"
#include "transfer/ParameterFile.h"
#include "transfer/TransferOutcomeText.h"
#include "widgets/Accessibility.h"
#include "widgets/Announcer.h"
#include "widgets/CommandButton.h"
#include "widgets/MessageBoxes.h"

namespace orbiqa {

namespace {

constexpr int kClientSize = 276;
constexpr int kMargin = 8;
constexpr int kInnerWidth = kClientSize - 2 * kMargin;
constexpr int kButtonHeight = 25;
constexpr int kEditButtonHeight = 49;
constexpr int kRowStep = 33;

QString StyleFor(BarColour colour) {
    const BarRgb c = RgbOf(colour);
    // A style sheet is the one fill colour every Qt style honours.
    return QStringLiteral(
               "QProgressBar { border: 1px solid #8c8c8c; border-radius: 0px; background: #e6e6e6; }"
               "QProgressBar::chunk { background-color: rgb(%1, %2, %3); }")
        .arg(c.red)
        .arg(c.green)
        .arg(c.blue);
}

// The window's buttons are bold, placed by hand, and take Enter only through the window.
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    return MakeCommandButton(parent, QString::fromLatin1(name), caption,
                             {.bold = true, .geometry = geometry, .enter = ButtonEnter::Never});
}

// Settings named in the note about a text that leaves some out; the rest are counted.
constexpr qsizetype kListedLeftOut = 5;

// Why a handed-over file did not load, in the user's language: the runtime's English texts
// stay with "Beolvasás fájlból", whose user has just picked the file himself.
QString FileFailureReason(const QString& name, const EFileError& e) {
    const QString text = QString::fromStdString(e.what());
    if (dynamic_cast<const EParameterTextError*>(&e))
        return QStringLiteral("Paraméterkészlet szövege, de nem tölthető be (%1)").arg(text);
    if (QFileInfo(name).isDir()) return QStringLiteral("Ez egy mappa, nem fájl");
    if (text == QLatin1String(kNotRegularFileText))
        return QStringLiteral("Nem közönséges fájl (csővezeték vagy eszköz)");
    if (text == QLatin1String(kFileTooLargeText))
        return QStringLiteral("Paraméterkészlet szövegeként túl hosszú (legfeljebb %1 bájt lehet)")
            .arg(kMaxParameterTextBytes);
    if (text == QLatin1String(kReadBeyondEndText))
        return QStringLiteral("Rövidebb %1 bájtnál, így nem paraméterfájl").arg(kParameterImageSize);
    if (text == QLatin1String("File not found")) return QStringLiteral("Nincs ilyen fájl");
    if (text == QLatin1String("File access denied")) return QStringLiteral("Nincs jogosultság az olvasásához");
    if (text == QLatin1String("Invalid filename")) return QStringLiteral("Érvénytelen fájlnév");
    if (text == QLatin1String("Too many open files")) return QStringLiteral("Túl sok a megnyitott fájl");
    if (text.startsWith(QLatin1String("I/O error "))) return QStringLiteral("Olvasási hiba (%1)").arg(text.mid(10));
    return text;
}

}  // namespace

QString ShownFileName(const QString& name) {
    const QFileInfo info(name);
    // Only the folder is resolved: the name is the one the user knows, even for a link.
    const QString folder = info.absoluteDir().canonicalPath();
    const QString shown = folder.isEmpty() || info.fileName().isEmpty()
                              ? QDir::cleanPath(info.absoluteFilePath())
                              : QDir(folder).filePath(info.fileName());
    return QDir::toNativeSeparators(shown);
}

QString QtFileFilter(const QString& pairs) {
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return filters.join(QStringLiteral(";;"));
}

TFormDownload::TFormDownload(ModuleSession& session, ImageBytes image, Hooks hooks, QWidget* parent)
    : TFormDownload(session.Channel(), &session.Waiter(), image, std::move(hooks), parent) {}

TFormDownload::TFormDownload(ModuleChannel& channel, ImageBytes image, Hooks hooks, QWidget* parent)
    : TFormDownload(channel, nullptr, image, std::move(hooks), parent) {}

TFormDownload::TFormDownload(ModuleChannel& channel, QtFlagWaiter* waiter, ImageBytes image, Hooks hooks,
                             QWidget* parent)
    : QDialog(parent),
      image_(image),
      hooks_(std::move(hooks)),
      waiter_(waiter ? waiter : new QtFlagWaiter(this)),
      engine_(channel, image, waiter_->Function()) {
    setObjectName(QStringLiteral("FormDownload"));
    setWindowTitle(QStringLiteral("Paraméterek beállítása"));
    setAccessibleName(windowTitle());
    setFixedSize(kClientSize, kClientSize);
    BuildControls();
    engine_.SetObserver(this);
    // FormCreate: the image starts as an erased module memory.
    std::fill(image_.begin(), image_.end(), std::uint8_t{0xFF});
}

TFormDownload::~TFormDownload() { engine_.SetObserver(nullptr); }

void TFormDownload::BuildControls() {
    Progress = new QProgressBar(this);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setAccessibleName(QStringLiteral("Átvitel állapota"));
    Progress->setRange(0, kProgressMaximum);
    Progress->setValue(0);
    Progress->setTextVisible(false);
    Progress->setGeometry(kMargin, kMargin, kInnerWidth, 22);
    Progress->setStyleSheet(StyleFor(barColour_));

    const int half = (kInnerWidth - kMargin) / 2;
    int y = 40;
    btOpen = MakeButton(this, "btOpen", QStringLiteral("Beolvasás fájlból"), {kMargin, y, half, kButtonHeight});
    btSave = MakeButton(this, "btSave", QStringLiteral("Mentés fájlba"),
                        {kMargin + half + kMargin, y, kInnerWidth - half - kMargin, kButtonHeight});
    y += kRowStep;
    btRead = MakeButton(this, "btRead", QStringLiteral("<-- Adatok beolvasása a modulból"),
                        {kMargin, y, kInnerWidth, kButtonHeight});
    y += kRowStep;
    btWrite = MakeButton(this, "btWrite", QStringLiteral("--> Adatok áttöltése a modulba"),
                         {kMargin, y, kInnerWidth, kButtonHeight});
    y += kRowStep;
    btCompare = MakeButton(this, "btCompare", QStringLiteral("<--> Adatok összehasonlítása"),
                           {kMargin, y, kInnerWidth, kButtonHeight});
    y += kRowStep;
    btEdit = MakeButton(this, "btEdit", QStringLiteral("Adatok szerkesztése"),
                        {kMargin, y, kInnerWidth, kEditButtonHeight});
    // Between the editor button and the bottom row: what a compare found to differ.
    lbDifferences = new QLabel(this);
    lbDifferences->setObjectName(QStringLiteral("lbDifferences"));
    lbDifferences->setAccessibleName(QStringLiteral("Összehasonlítás eredménye"));
    lbDifferences->setGeometry(kMargin, y + kEditButtonHeight + 1, kInnerWidth, 18);
    lbDifferences->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    const int bottom = kClientSize - kMargin - kButtonHeight;
    btStop = MakeButton(this, "btStop", QStringLiteral("Stop"), {kMargin, bottom, 80, kButtonHeight});
    btClose = MakeButton(this, "btClose", QStringLiteral("Ablak bezárása"),
                         {kClientSize - kMargin - 130, bottom, 130, kButtonHeight});

    connect(btOpen, &QPushButton::clicked, this, &TFormDownload::btOpenClick);
    connect(btSave, &QPushButton::clicked, this, &TFormDownload::btSaveClick);
    connect(btRead, &QPushButton::clicked, this, &TFormDownload::btReadClick);
    connect(btWrite, &QPushButton::clicked, this, &TFormDownload::btWriteClick);
    connect(btCompare, &QPushButton::clicked, this, &TFormDownload::btCompareClick);
    connect(btEdit, &QPushButton::clicked, this, &TFormDownload::btEditClick);
    connect(btClose, &QPushButton::clicked, this, &TFormDownload::btCloseClick);
    // btStop has never had an action; it stays enabled during transfers for that reason alone.
    PressButtonsOnEnter(this);
}

void TFormDownload::showEvent(QShowEvent* event) {
    if (!centred_) {
        centred_ = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    QDialog::showEvent(event);
}

void TFormDownload::DisableButtons() {
    for (QPushButton* b : {btOpen, btSave, btRead, btWrite, btCompare, btEdit, btClose}) b->setEnabled(false);
}

void TFormDownload::EnableButtons() {
    for (QPushButton* b : {btOpen, btSave, btRead, btWrite, btCompare, btEdit, btClose}) b->setEnabled(true);
}

void TFormDownload::SetBarColour(BarColour colour) {
    barColour_ = colour;
    Progress->setStyleSheet(StyleFor(colour));
}

void TFormDownload::SetBarPosition(int position) {
    barPosition_ = position;
    // QProgressBar ignores values beyond its range; 12 and above must all show full.
    Progress->setValue(std::clamp(position, 0, kProgressMaximum));
}

void TFormDownload::btReadClick() { Finished(TransferKind::Read, engine_.Read()); }
void TFormDownload::btWriteClick() { Finished(TransferKind::Write, engine_.Write()); }

void TFormDownload::Finished(TransferKind kind, const TransferResult& result) {
    SayOutcome(kind, result);
    if (hooks_.transferDone && result.outcome != TransferOutcome::NotConnected) hooks_.transferDone(kind, result);
}

void TFormDownload::WriteSet(std::span<const std::uint8_t, kParameterImageSize> set) {
    std::copy(set.begin(), set.end(), image_.begin());
    btWriteClick();
}

QString TFormDownload::CompareWithSet(std::span<const std::uint8_t, kParameterImageSize> set, TransferResult* result) {
    // The module is still taken to hold what it was last given; the set stands in for one compare.
    const ModuleCopyBytes given = engine_.ModuleCopy();
    std::copy_n(set.begin(), kModuleMemorySize, engine_.ModuleCopy().begin());
    TransferResult found;
    try {
        found = engine_.Compare();
    } catch (...) {
        engine_.ModuleCopy() = given;
        throw;
    }
    ShowDifferences(found);
    SayOutcome(TransferKind::Compare, found);
    engine_.ModuleCopy() = given;
    if (result) *result = found;
    const QString outcome = Progress->accessibleDescription();
    const QString differences = lbDifferences->accessibleDescription();
    return differences.isEmpty() || outcome.isEmpty() ? outcome : outcome + QStringLiteral(". ") + differences;
}
void TFormDownload::btCompareClick() {
    const TransferResult result = engine_.Compare();
    ShowDifferences(result);
    SayOutcome(TransferKind::Compare, result);
}

void TFormDownload::BlockCompared(int block, const std::uint8_t* moduleBlock) {
    std::copy_n(moduleBlock, kBlockSize, compared_.begin() + static_cast<std::ptrdiff_t>(block) * kBlockSize);
}

void TFormDownload::ShowDifferences(const TransferResult& result) {
    const CompareDifferences found =
        result.firstDifferentBlock >= 0
            ? FindCompareDifferences(engine_.ModuleCopy(), compared_, result.blocksDone)
            : CompareDifferences{};
    // One line: as many settings as fit, then how many more; a first caption too long for the
    // line alone loses its end.
    const QFontMetrics metrics(lbDifferences->font());
    const int width = lbDifferences->contentsRect().width();
    lbDifferences->setText(
        found.ShortText([&](const QString& line) { return metrics.horizontalAdvance(line) <= width; }));
    // The whole list stays readable.
    lbDifferences->setToolTip(found.FullText());
    lbDifferences->setAccessibleDescription(found.FullText());
    spokenDifferences_ = found.Text(kSpokenDifferences);
}

void TFormDownload::SayOutcome(TransferKind kind, const TransferResult& result) {
    const QString outcome = TransferOutcomeText(kind, result);
    if (outcome.isEmpty()) return;
    Progress->setAccessibleDescription(outcome);
    // After a compare the differing settings are part of the outcome a listener needs.
    const QString differences = kind == TransferKind::Compare ? spokenDifferences_ : QString();
    Announce(this, differences.isEmpty() ? outcome : outcome + QStringLiteral(". ") + differences);
}

void TFormDownload::btOpenClick() {
    StartFileOpen();
    const QString name = ChooseFile(FileDialogKind::Open);
    if (name.isEmpty()) return;
    LoadFile(name);
}

bool TFormDownload::CanOpenFile() const { return btOpen->isEnabled(); }

void TFormDownload::OpenFile(const QString& name) {
    StartFileOpen();
    lastOpenName_ = name;
    try {
        LoadFile(name);
    } catch (const EFileError& e) {
        throw EFileError(
            (QStringLiteral("Ez a fájl nem nyílt meg: ") + ShownFileName(name) + QLatin1Char('\n') + FileFailureReason(name, e))
                .toStdString());
    }
}

QString TFormDownload::BusyText(const QString& name) {
    return QStringLiteral("Adatátvitel vagy szerkesztés folyik, ez a fájl nem nyílt meg: ") + ShownFileName(name);
}

void TFormDownload::StartFileOpen() {
    SetBarColour(BarColour::Green);
    SetBarPosition(0);
    // The bar starts again: what it said of the last transfer no longer stands beside it.
    Progress->setAccessibleDescription(QString());
    ClearDifferences();
}

void TFormDownload::LoadFile(const QString& name) {
    const ParameterFileLoad load = LoadParameterFile(QFile::encodeName(name).toStdString(), image_);
    SetBarPosition(kProgressMaximum);
    // The full bar says it by its length alone.
    Progress->setAccessibleDescription(QStringLiteral("Fájl beolvasva"));
    Announce(this, QStringLiteral("Fájl beolvasva: ") + QFileInfo(name).fileName());
    if (load.fieldsLeftOut.empty()) return;
    // The text was taken, but a setting it does not give must not pass unnoticed: it now holds
    // an erased module's value.
    QStringList titles;
    for (const std::string& field : load.fieldsLeftOut) titles << QString::fromStdString(FieldTitle(field));
    const CompareDifferences leftOut{{}, {}, titles};
    ShowMessage(QStringLiteral("A szöveg %1 beállítást nem ad meg, ezek egy törölt modul értékét kapták: %2")
                    .arg(titles.size())
                    .arg(leftOut.Line({}, kListedLeftOut)));
}

void TFormDownload::ClearDifferences() {
    lbDifferences->clear();
    spokenDifferences_.clear();
    lbDifferences->setToolTip(QString());
    lbDifferences->setAccessibleDescription(QString());
}

void TFormDownload::btSaveClick() {
    const QString name = ChooseFile(FileDialogKind::Save);
    if (name.isEmpty()) return;
    SaveParameterFile(QFile::encodeName(name).toStdString(), image_);
}

void TFormDownload::btEditClick() {
    if (hooks_.openEditor) hooks_.openEditor();
}

void TFormDownload::btCloseClick() { close(); }

QString TFormDownload::ChooseFile(FileDialogKind kind) {
    QString& last = kind == FileDialogKind::Open ? lastOpenName_ : lastSaveName_;
    const QString name = hooks_.chooseFile ? hooks_.chooseFile(kind, last) : RunFileDialog(kind, last);
    if (!name.isEmpty()) last = name;
    return name;
}

QString TFormDownload::RunFileDialog(FileDialogKind kind, const QString& lastName) {
    QFileDialog dialog(this);
    dialog.setObjectName(kind == FileDialogKind::Open ? QStringLiteral("OpenDialog1") : QStringLiteral("SaveDialog1"));
    dialog.setNameFilter(QtFileFilter(QString::fromLatin1(kFileFilter)));
    dialog.setDefaultSuffix(QStringLiteral("VR3"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (kind == FileDialogKind::Open) {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        // A typed name that does not exist is accepted; loading it reports "File not found".
        dialog.setFileMode(QFileDialog::AnyFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
    }
    dialog.selectFile(lastName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

void TFormDownload::NotConnected() { ShowMessage(QStringLiteral(" Nincs soros kapcsolat.")); }

void TFormDownload::ShowMessage(const QString& text) {
    if (hooks_.showMessage) {
        hooks_.showMessage(text);
        return;
    }
    ShowMessageBox({BoxIcon::None, ApplicationCaption(), text, this});
}

void TFormDownload::TransferStarted() {
    // Stop, the one button left usable, takes the focus now rather than whichever button Qt
    // would pass it to; the starting button gets it back when the transfer ends.
    startedBy_ = qobject_cast<QPushButton*>(focusWidget());
    if (startedBy_ && startedBy_ != btStop) btStop->setFocus(Qt::OtherFocusReason);
    DisableButtons();
    // The last outcome no longer holds once a new transfer runs.
    Progress->setAccessibleDescription(QString());
    ClearDifferences();
}
void TFormDownload::TransferFinished() noexcept {
    EnableButtons();
    if (startedBy_ && (focusWidget() == btStop || !focusWidget())) startedBy_->setFocus(Qt::OtherFocusReason);
    startedBy_.clear();
}
void TFormDownload::BarPositionChanged(int position) { SetBarPosition(position); }
void TFormDownload::BarColourChanged(BarColour colour) { SetBarColour(colour); }

}  // namespace orbiqa
