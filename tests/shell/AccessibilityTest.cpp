// What a screen reader finds in the main, status and traffic-log windows: controls under what
// a person calls them, changing texts under the text shown, and the keyboard focus where the
// next key press makes sense.
#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <map>

#include "support/AccessibleTree.h"
#include "support/RecordingAnnouncer.h"
#include "diag/SerialDetails.h"
#include "ShellFixture.h"
#include "status/State.h"

using namespace orbiqa;
using namespace orbiqa::test;

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// Every (object name -> accessible name) pair must be reachable from the window's root.
void ExpectNamed(QWidget* window, const std::map<QString, QString>& expected) {
    for (const auto& [objectName, name] : expected) {
        QAccessibleInterface* node = FindByObjectName(window, objectName);
        ASSERT_NE(node, nullptr) << objectName.toStdString() << " is not in the tree";
        EXPECT_EQ(node->text(QAccessible::Name), name) << objectName.toStdString();
    }
}

// The caption label that names a value label, through the "labelled by" relation.
QString LabelOf(QAccessibleInterface* node) {
    for (const auto& [other, relation] : node->relations(QAccessible::Label)) return other->text(QAccessible::Name);
    return {};
}

struct AccessibilityFixture : ShellFixture {
    QString StatusBarName() { return FindByObjectName(Main(), "StatusBar1")->text(QAccessible::Name); }
    QPushButton* Button(const char* name) { return Control<QPushButton>(name); }
    void PressSpace(QWidget* w) {
        QTest::keyClick(w, Qt::Key_Space);
        QCoreApplication::processEvents();
    }
};

}  // namespace

TEST_F(AccessibilityFixture, ControlsAreNamedAsAPersonCallsThemAndWindowsAreWindows) {
    StartProgram();
    ExpectNamed(Main(), {
        {"ButtonSelectSerial", U("Soros port kiválasztása")},
        {"btConnect", U("Soros kapcsolat létrehozása")},
        {"btSites", U("Telephelyek")},
        {"btClose", U("Kilépés")},
        {"StatusBar1", U("Állapotsor")},
    });
    ExpectNamed(program->StateForm(), {
        {"PanelIN1", "IN1"},
        {"pbTerero", U("GSM térerő sáv")},
        {"MemoState", U("A modul állapot üzenetei")},
        {"btClearMsg", U("Üzenetablak törlése")},
    });
    ExpectNamed(program->FormDetails(), {
        {"Memo2", U("Vonali hibák")},
        {"Memo3", U("1. csatorna")},
        {"Memo4", U("2. csatorna")},
        {"MemoDTMF", U("DTMF csatorna")},
        {"Memo5", U("3. csatorna")},
        {"btClear", "Clear All"},
    });
    for (QWidget* window : {static_cast<QWidget*>(Main()), static_cast<QWidget*>(program->StateForm()),
                            static_cast<QWidget*>(program->FormDetails()),
                            static_cast<QWidget*>(program->WelcomeForm())}) {
        QAccessibleInterface* root = QAccessible::queryAccessibleInterface(window);
        EXPECT_EQ(root->role(), QAccessible::Window) << window->objectName().toStdString();
        EXPECT_EQ(root->text(QAccessible::Name), window->windowTitle());
    }
}

TEST_F(AccessibilityFixture, TheConnectionMessageAndTheChosenPortAreReadByTheirText) {
    StartProgram();
    Main()->Chooser = [](const QString&, std::string& portNev, QString& portHNev, std::vector<std::string>&) {
        portNev = "COM33";
        portHNev = "FT232R USB UART - ttyUSB0 (COM33)";
        return true;
    };

    Button("btConnect")->click();
    EXPECT_NE(FindByName(Main(), U(" Soros kapcsolat rendben.")), nullptr);
    device->Fail().open = EBUSY;
    Button("btDisconnect")->click();
    EXPECT_EQ(StatusBarName(), U(" Nincs soros kapcsolat."));
    Button("btConnect")->click();
    EXPECT_EQ(StatusBarName(), U(" Hiba: A COM port nem elérhető!"));

    QLabel* panel = Main()->findChild<QLabel*>("Panel1");
    Button("ButtonSelectSerial")->click();
    QAccessibleInterface* port = FindByName(Main(), "FT232R USB UART - ttyUSB0 (COM33)");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->object(), panel);
    EXPECT_EQ(port->text(QAccessible::Description), U("Kiválasztott soros port"));
}

TEST_F(AccessibilityFixture, EachStatusValueIsReadByItsTextAndLabelledByItsCaption) {
    StartProgram();
    TStateForm* state = program->StateForm();
    state->ModuleStatusReceived({0x11, 17, 2, 0});

    const std::map<QString, QString> valueToCaption = {
        {U("Rövidzár"), "IN1"},
        {U("Vonal rendben"), U("Vezetékes vonal")},
        {U("Kimenő hívás folyamatban 2"), U("GSM vonal státusz")},
        {"17", U("GSM térerő (0-31):")},
    };
    for (const auto& [value, caption] : valueToCaption) {
        QAccessibleInterface* node = FindByName(state, value);
        ASSERT_NE(node, nullptr) << value.toStdString();
        EXPECT_EQ(LabelOf(node), caption) << value.toStdString();
    }
}

TEST_F(AccessibilityFixture, FocusFollowsTheLinkButtonsSoASecondSpaceNeverQuits) {
    StartProgram();
    Main()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Main()));
    Button("btConnect")->setFocus();

    PressSpace(Button("btConnect"));
    ASSERT_TRUE(link->ComPort1().Connected());
    EXPECT_EQ(QApplication::focusWidget(), Button("btDisconnect"));

    PressSpace(Button("btDisconnect"));
    EXPECT_FALSE(link->ComPort1().Connected());
    EXPECT_EQ(QApplication::focusWidget(), Button("btConnect"));
    EXPECT_TRUE(Main()->isVisible());

    // A failed open leaves the focus where it was, on the button that may be tried again.
    device->Fail().open = EBUSY;
    PressSpace(Button("btConnect"));
    EXPECT_EQ(QApplication::focusWidget(), Button("btConnect"));
}

TEST_F(AccessibilityFixture, EscapeClosesTheStatusAndTrafficLogWindowsButNotTheMainWindow) {
    StartProgram();
    for (QWidget* window : {static_cast<QWidget*>(program->StateForm()), static_cast<QWidget*>(program->FormDetails())}) {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window)) << window->objectName().toStdString();
        QTest::keyClick(window, Qt::Key_Escape);
        EXPECT_FALSE(window->isVisible()) << window->objectName().toStdString();
    }
    Main()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Main()));
    QTest::keyClick(Main(), Qt::Key_Escape);
    EXPECT_TRUE(Main()->isVisible());
}

TEST_F(AccessibilityFixture, StatusMessagesAndTheChosenPortAreSaidEachTime) {
    RecordingAnnouncer announcer;
    StartProgram();
    Main()->Chooser = [](const QString&, std::string& portNev, QString& portHNev, std::vector<std::string>&) {
        portNev = "COM33";
        portHNev = "FT232R USB UART - ttyUSB0 (COM33)";
        return true;
    };
    announcer.Take();

    Button("btConnect")->click();
    Button("btDisconnect")->click();
    device->Fail().open = EBUSY;
    Button("btConnect")->click();
    Button("btConnect")->click();  // the same message again is said again
    Button("ButtonSelectSerial")->click();
    EXPECT_EQ(announcer.Take(), (QStringList{U("Soros kapcsolat rendben."), U("Nincs soros kapcsolat."),
                                             U("Hiba: A COM port nem elérhető!"), U("Hiba: A COM port nem elérhető!"),
                                             U("Kiválasztott soros port: FT232R USB UART - ttyUSB0 (COM33)")}));
}

TEST_F(AccessibilityFixture, EnterPressesTheFocusedButtonAsSpaceDoes) {
    StartProgram();
    Main()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Main()));
    Button("btConnect")->setFocus();
    QTest::keyClick(Button("btConnect"), Qt::Key_Return);
    ASSERT_TRUE(link->ComPort1().Connected());
    EXPECT_EQ(QApplication::focusWidget(), Button("btDisconnect"));
    QTest::keyClick(Button("btDisconnect"), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_FALSE(link->ComPort1().Connected());
    // A chord with Enter is not a press.
    QTest::keyClick(Button("btConnect"), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_FALSE(link->ComPort1().Connected());
}
