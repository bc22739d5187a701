#include <QAccessible>
#include <QAccessibleInterface>
#include <map>

#include "diag/SerialDetails.h"
#include "ShellFixture.h"
#include "status/State.h"

using namespace orbiqa;
using namespace orbiqa::test;

namespace {

using NameTable = std::map<QString, QString>;  // object name -> accessible name

// Every (object name, accessible name) reachable from a window through the accessibility tree,
// the way a screen reader walks it.
void Collect(QAccessibleInterface* node, std::multimap<QString, QString>& found, int depth = 0) {
    if (!node || depth > 12) return;
    if (QObject* o = node->object(); o && !o->objectName().isEmpty())
        found.emplace(o->objectName(), node->text(QAccessible::Name));
    for (int i = 0; i < node->childCount(); ++i) Collect(node->child(i), found, depth + 1);
}

void ExpectReachable(QWidget* window, const NameTable& expected) {
    std::multimap<QString, QString> found;
    Collect(QAccessible::queryAccessibleInterface(window), found);
    for (const auto& [objectName, name] : expected) {
        const auto range = found.equal_range(objectName);
        bool match = false;
        for (auto it = range.first; it != range.second; ++it) match = match || it->second == name;
        EXPECT_TRUE(match) << objectName.toStdString() << " not found as \"" << name.toStdString() << "\"";
    }
}

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

TEST_F(ShellFixture, EveryControlIsReachableUnderItsCaptionLabelOrName) {
    StartProgram();
    ExpectReachable(Main(), {
        {"ButtonSelectSerial", U("Soros port kiválasztása")},
        {"Panel1", "Panel1"},
        {"btConnect", U("Soros kapcsolat létrehozása")},
        {"btDisconnect", U("Soros kapcsolat bontása")},
        {"btStatus", U("Modul állapotának figyelése")},
        {"btParameterSetting", U("Paraméterek beállítása")},
        {"btGetVer", U("Modul verzió lekérdezése")},
        {"btClose", U("Kilépés")},
        {"StatusBar1", "StatusBar1"},
    });
    ExpectReachable(program->StateForm(), {
        {"PanelLineVoltage", U("Vezetékes vonal")},
        {"lbLineVoltage", U("Vezetékes vonal")},
        {"PanelIN1", "IN1"},
        {"lbIN1", "IN1"},
        {"PanelGSMLine", U("GSM vonal státusz")},
        {"lbGSMLine", U("GSM vonal státusz")},
        {"lbGSMpower", U("GSM térerő (0-31):")},
        {"lbGSMpowVal", U("GSM térerő (0-31):")},
        {"pbTerero", "pbTerero"},
        {"lbStateMessages", U("A modul állapot üzenetei:")},
        {"MemoState", "MemoState"},
        {"btClearMsg", U("Üzenetablak törlése")},
        {"btClose", U("Ablak bezárása")},
    });
    ExpectReachable(program->FormDetails(), {
        {"Memo2", "Memo2"},
        {"Memo3", "Memo3"},
        {"Memo4", "Memo4"},
        {"Memo5", "Memo5"},
        {"MemoDTMF", "MemoDTMF"},
        {"btClear", "Clear All"},
        {"Close", "Close"},
    });
    ExpectReachable(program->WelcomeForm(), {{"lbVersion", " v1.05"}});
}
