#include "ports/SorosDialog.h"

#include <QAction>
#include <QWidget>

#include "ports/FormComPort.h"
#include "widgets/QtText.h"

namespace orbiqa {

TSorosDialog::TSorosDialog(std::shared_ptr<RegistryReader> registry, QWidget* parent)
    : QObject(parent),
      parentWidget_(parent),
      ownedKeres_(std::make_unique<SorosKeres>(std::move(registry))),
      keres_(ownedKeres_.get()) {
    setObjectName("SorosDialog1");
}

TSorosDialog::TSorosDialog(SorosKeres& discovery, QWidget* parent)
    : QObject(parent), parentWidget_(parent), keres_(&discovery) {
    setObjectName("SorosDialog1");
}

TSorosDialog::~TSorosDialog() = default;

bool TSorosDialog::Execute() {
    TFormComPort window(*keres_, parentWidget_);
    // A name the code page cannot hold cannot be in the list either.
    window.SetDefaultDisplayName(ToWin1250(defaultPort_).value_or(std::string()));
    if (!dialogusCimke_.isEmpty()) {
        window.setWindowTitle(dialogusCimke_);
        window.setAccessibleName(dialogusCimke_);
    }
    if (!dialogusSzoveg_.isEmpty()) window.SetLabelText(dialogusSzoveg_);
    if (!hozzaadCimke_.isEmpty()) window.jporthozzadsa1->setText(hozzaadCimke_);
    window.SetAddPortPrompt(hozzaadSzoveg_.isEmpty() ? QString::fromUtf8("Adja meg a kívánt soros port sorszámát!")
                                                     : hozzaadSzoveg_);
    window.SetNetworkPorts(networkPorts_);
    window.FollowDevices(portWatch_);
    emit WindowCreated(&window);
    const bool accepted = window.exec() == QDialog::Accepted;
    networkPorts_ = window.NetworkPorts();
    if (!accepted) return false;
    portNev_ = FromWin1250(window.SelectedPort());
    portHNev_ = FromWin1250(window.SelectedDisplayName());
    portIndex_ = window.SelectedIndex();
    return true;
}

}  // namespace orbiqa
