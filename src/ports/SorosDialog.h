#pragma once
// The port chooser as a dialog component: give it the display name of the current port, run
// it, and on confirmation read back the chosen port's name and display name.
//
//   auto dialog = new TSorosDialog(std::make_shared<RegistryReaderPosix>(), mainWindow);
//   dialog->SetDefaultPort(Panel1->text());
//   if (dialog->Execute()) { Panel1->setText(dialog->PortHNev()); ComPort1.SetPort(dialog->PortNev().toStdString()); }
#include <QObject>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "ports/RegistryReader.h"
#include "ports/SorosKeres.h"

class QWidget;

namespace orbiqa {

class PortWatch;
class TFormComPort;

class TSorosDialog : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString DefaultPort READ DefaultPort WRITE SetDefaultPort)
    Q_PROPERTY(QString PortNev READ PortNev)
    Q_PROPERTY(QString PortHNev READ PortHNev)
    Q_PROPERTY(int PortIndex READ PortIndex)
    Q_PROPERTY(QString DialogusCimke READ DialogusCimke WRITE SetDialogusCimke)
    Q_PROPERTY(QString DialogusSzoveg READ DialogusSzoveg WRITE SetDialogusSzoveg)
    Q_PROPERTY(QString HozzaadCimke READ HozzaadCimke WRITE SetHozzaadCimke)
    Q_PROPERTY(QString HozzaadSzoveg READ HozzaadSzoveg WRITE SetHozzaadSzoveg)

public:
    /// registry is read on every scan; parent is the window the chooser is shown over. The
    /// device list found by the scans lives as long as the dialog.
    explicit TSorosDialog(std::shared_ptr<RegistryReader> registry, QWidget* parent = nullptr);
    /// Works on the program's discovery state, which outlives the dialog: the device list and
    /// the devices the reader has seen stay for the whole run, so a port that went away since
    /// is still listed (absent) and can be selected.
    explicit TSorosDialog(SorosKeres& discovery, QWidget* parent = nullptr);
    ~TSorosDialog() override;

    /// Shows the chooser modally. True when the user confirmed a port; PortNev, PortHNev and
    /// PortIndex then describe it, otherwise they keep their earlier values. Ports the user added
    /// by number are forgotten when the window closes; NetworkPorts holds the network ports as
    /// the user left them, confirmed or not.
    bool Execute();

    QString DefaultPort() const { return defaultPort_; }
    void SetDefaultPort(const QString& text) { defaultPort_ = text; }
    /// "COM" + number.
    QString PortNev() const { return portNev_; }
    /// The display name, e.g. "FT232R USB UART - ttyUSB0 (COM33)".
    QString PortHNev() const { return portHNev_; }
    int PortIndex() const { return portIndex_; }
    QString DialogusCimke() const { return dialogusCimke_; }
    void SetDialogusCimke(const QString& text) { dialogusCimke_ = text; }
    QString DialogusSzoveg() const { return dialogusSzoveg_; }
    void SetDialogusSzoveg(const QString& text) { dialogusSzoveg_ = text; }
    QString HozzaadCimke() const { return hozzaadCimke_; }
    void SetHozzaadCimke(const QString& text) { hozzaadCimke_ = text; }
    QString HozzaadSzoveg() const { return hozzaadSzoveg_; }
    void SetHozzaadSzoveg(const QString& text) { hozzaadSzoveg_ = text; }

    /// The network ports the chooser lists and remembers, most recent first (addresses).
    const std::vector<std::string>& NetworkPorts() const { return networkPorts_; }
    void SetNetworkPorts(std::vector<std::string> ports) { networkPorts_ = std::move(ports); }

    SorosKeres& Keres() { return *keres_; }
    /// The device reports the chooser follows while open; null (the default) for none.
    void SetPortWatch(PortWatch* watch) { portWatch_ = watch; }

signals:
    /// The chooser window exists and is about to be shown; lets tests and tools reach it.
    void WindowCreated(orbiqa::TFormComPort* window);

private:
    QWidget* parentWidget_;
    std::unique_ptr<SorosKeres> ownedKeres_;
    SorosKeres* keres_;
    PortWatch* portWatch_ = nullptr;
    QString defaultPort_;
    std::vector<std::string> networkPorts_;
    QString portNev_;
    QString portHNev_;
    int portIndex_ = 0;
    QString dialogusCimke_;
    QString dialogusSzoveg_;
    QString hozzaadCimke_;
    QString hozzaadSzoveg_;
};

}  // namespace orbiqa
