#pragma once
// The offer after a read or a write in the transfer window: record it to a site, chosen from the
// register or typed as a new one. The port's site is remembered in the settings folder and
// offered first next time. The record goes through the register's thread; whatever becomes of
// it (recorded, pending for the shared server, failed) is said, and never touches the
// transfer's own outcome.
#include <QByteArray>
#include <QDialog>
#include <QString>
#include <optional>

#include "sites/SiteRecords.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace orbiqa::sites {

class SiteRegisterThread;

/// What the transfer window did, as the record needs it.
struct TransferRecord {
    HistoryKind kind = HistoryKind::Read;
    Outcome outcome = Outcome::Ok;
    QString outcomeText;  ///< the transfer window's words for a failure
    QString said;         ///< the outcome as the transfer window said it ("Beolvasás kész")
    QString port;
    QByteArray before;    ///< empty: the site's current set is taken
    QByteArray after;     ///< the set read or written; empty after a failed read
    ModuleIdentity module;
    std::optional<int> signal;
};

/// The site remembered for a port ("COM3", "socket://…"), empty when none. The file is
/// "OrbiqaSitePorts.ini" in the settings folder, lines of PORT=SITE (UTF-8).
QString RememberedSite(const QString& port);
/// Remembers site for port (through the program's save routine); false when it could not be saved.
bool RememberSite(const QString& port, const QString& site);

class TRecordOffer : public QDialog {
    Q_OBJECT
public:
    /// preferredSite, when given, is offered instead of the port's remembered one (a write
    /// started from the sites window).
    TRecordOffer(SiteRegisterThread& worker, TransferRecord record, const QString& preferredSite = {},
                 QWidget* parent = nullptr);

    void btRecordClick();
    /// What the result line says now.
    QString ResultText() const;
    /// True while the site list or the record is on its way.
    bool Busy() const { return pending_ > 0; }

signals:
    /// The record is stored (or waits for the shared server) under site.
    void Recorded(const QString& site);

private:
    void Say(const QString& text);

    SiteRegisterThread& worker_;
    TransferRecord record_;
    int pending_ = 0;

    QLabel* lbQuestion = nullptr;
    QComboBox* cbSite = nullptr;
    QLabel* lbResult = nullptr;
    QPushButton* btRecord = nullptr;
    QPushButton* btSkip = nullptr;
};

/// Shows the offer over parent, window-modal, without waiting; it deletes itself when closed.
TRecordOffer* OfferRecording(SiteRegisterThread& worker, TransferRecord record, const QString& preferredSite,
                             QWidget* parent);

}  // namespace orbiqa::sites
