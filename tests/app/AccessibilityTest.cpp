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
#include <memory>

#include "link/FakeSerialDevice.h"
#include "link/ModuleLink.h"
#include "params/ParameterImage.h"
#include "params/SettingsForm.h"
#include "ports/FormComPort.h"
#include "ports/MemoryRegistry.h"
#include "ports/SorosKeres.h"
#include "transfer/DownloadForm.h"

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

    ModuleLink link(std::make_unique<FakeSerialDevice>());
    std::array<std::uint8_t, kParameterImageSize> bytes{};
    TFormDownload download(link, ImageBytes(bytes));
    EXPECT_GE(ExpectNamed(&download), 9);

    SorosKeres keres(std::make_shared<MemoryRegistry>());
    TFormComPort chooser(keres);
    EXPECT_GE(ExpectNamed(&chooser), 2);
}
