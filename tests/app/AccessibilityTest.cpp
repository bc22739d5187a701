// Every named control of every window the engineer meets is reachable through Qt's
// accessibility: buttons and check boxes under their caption, every other control under a
// non-empty name (the label that names it, or its object name). A screen reader or an automated
// check finds nothing nameless.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <memory>

#include "FakeSerialDevice.h"
#include "link/ModuleLink.h"
#include "params/ParameterImage.h"
#include "params/SettingsForm.h"
#include "ports/FormComPort.h"
#include "ports/MemoryRegistry.h"
#include "ports/SorosKeres.h"
#include "support/AccessibleTree.h"
#include "ports/FakeRegistry.h"
#include "transfer/DownloadForm.h"
#include "transfer/ModuleSession.h"
#include "transfer/FakeModule.h"

using namespace orbiqa;

namespace {

bool IsControl(const QWidget* w) {
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QProgressBar*>(w) || qobject_cast<const QPlainTextEdit*>(w) ||
           qobject_cast<const QTextEdit*>(w) || qobject_cast<const QTabWidget*>(w) ||
           qobject_cast<const QGroupBox*>(w) || w->focusPolicy() != Qt::NoFocus;
}

// Checks every named control below the window; returns how many were checked.
int ExpectNamed(QWidget* window) {
    int checked = 0;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->objectName().isEmpty() || w->objectName().startsWith("qt_") || !IsControl(w)) continue;
        // Line edits inside spin boxes and combo boxes belong to their owner.
        if (qobject_cast<QAbstractSpinBox*>(w->parentWidget()) || qobject_cast<QComboBox*>(w->parentWidget()))
            continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        if (!a) {
            ADD_FAILURE() << w->objectName().toStdString() << " has no accessibility interface";
            continue;
        }
        const QString name = a->text(QAccessible::Name);
        EXPECT_FALSE(name.trimmed().isEmpty()) << w->objectName().toStdString() << " has no accessible name";
        if (auto* b = qobject_cast<QAbstractButton*>(w); b && !b->text().isEmpty()) {
            QString caption = b->text();
            caption.remove('&');
            EXPECT_EQ(name.trimmed(), caption.trimmed()) << w->objectName().toStdString();
        }
        ++checked;
    }
    return checked;
}

}  // namespace

TEST(Accessibility, EditorTransferAndChooserWindows) {
    ParameterImage image;
    TSettingsForm settings(image);
    EXPECT_GT(ExpectNamed(&settings), 60);

    ModuleSession session(std::make_unique<FakeSerialDevice>());
    std::array<std::uint8_t, kParameterImageSize> bytes{};
    TFormDownload download(session, ImageBytes(bytes));
    EXPECT_GE(ExpectNamed(&download), 9);

    SorosKeres keres(std::make_shared<MemoryRegistry>());
    TFormComPort chooser(keres);
    EXPECT_GE(ExpectNamed(&chooser), 2);
}

namespace {

QAccessibleInterface* FindByDescription(QWidget* window, const QString& text) {
    return test::FindAccessible(QAccessible::queryAccessibleInterface(window), [&](QAccessibleInterface* a) {
        return a->text(QAccessible::Description) == text;
    });
}

}  // namespace

TEST(Accessibility, TheBarSaysTheOutcomeThatItsColourShows) {
    test::FakeModule module;
    std::array<std::uint8_t, kParameterImageSize> bytes{};
    TFormDownload download(module, ImageBytes(bytes));
    // Answers arrive through the event loop, as the port's hand-overs do.
    module.onSend = [&] { QTimer::singleShot(0, &download, [&] { module.Deliver(); }); };
    auto* bar = download.findChild<QProgressBar*>("Progress");
    const auto said = [&](const char* utf8) {
        QAccessibleInterface* node = FindByDescription(&download, QString::fromUtf8(utf8));
        return node ? node->object() : nullptr;
    };

    module.memory[5] = 0x42;
    download.btReadClick();
    EXPECT_EQ(said("Beolvasás kész"), bar);
    download.btCompareClick();
    EXPECT_EQ(said("Az adatok egyeznek"), bar);

    module.memory[3 * kBlockSize] ^= 1;
    download.btCompareClick();
    EXPECT_EQ(said("Az adatok eltérnek (első eltérés: blokk 3)"), bar);
    // A compare that saw a difference and then a wrong answer says both (a wrong answer, unlike
    // a missing one, does not wait out the time-out).
    module.wrongBlock = 9;
    download.btCompareClick();
    EXPECT_EQ(said("Az adatok eltérnek (első eltérés: blokk 3); Hibás válasz (blokk 9)"), bar);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(bar)->text(QAccessible::Name), QString::fromUtf8("Átvitel állapota"));
}

TEST(Accessibility, EachPortRowSaysWhetherThePortIsPresent) {
    auto registry = std::make_shared<MemoryRegistry>();
    test::AddPortDevice(*registry, "ACPI\\PNP0501\\1", "Communications Port (COM1)", "(Standard port types)");
    test::AddPortDevice(*registry, "ACPI\\PNP0501\\2", "Communications Port (COM2)", "(Standard port types)");
    test::MarkPresent(*registry, "Serial1", "COM1");
    SorosKeres keres(registry);
    TFormComPort chooser(keres);
    chooser.SetDefaultDisplayName("Communications Port (COM2)");
    chooser.show();
    chooser.FormActivate();

    const auto presence = [&](const char* name) {
        QAccessibleInterface* row = test::FindByName(&chooser, QString::fromLatin1(name));
        return row ? row->text(QAccessible::Description).section(';', 0, 0) : QString();
    };
    EXPECT_EQ(presence("Communications Port (COM1)"), QString::fromUtf8("elérhető"));
    EXPECT_EQ(presence("Communications Port (COM2)"), QString::fromUtf8("nem elérhető"));
    // The two panels read as the chosen port's name and description.
    QAccessibleInterface* panel = test::FindByObjectName(&chooser, "Panel2");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->text(QAccessible::Name), "(Standard port types)");
}
