#pragma once
// TSitesForm, "Telephelyek": finds a site as the user types (name, customer, address or
// PanelID), shows its record and its history with the settings each entry changed, and hands a
// stored set to the editor, to the module (the transfer window's write) or to a compare with the
// module. Every query goes through the register's own thread; the window never waits on a
// database.
#include <QByteArray>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "sites/SiteRecords.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace orbiqa::sites {

class SiteRegister;
class SiteRegisterThread;

/// A compare of the module with a site's set, as the sites window records it.
struct CompareOutcome {
    QString said;          ///< "Az adatok eltérnek (…). Eltérő beállítások: APN"; empty: nothing ran
    bool reached = false;  ///< the module was asked (false: no connection, nothing to record)
    Outcome outcome = Outcome::Ok;  ///< Ok when the compare ran through, equal or not
    QString port;
};

class TSitesForm : public QWidget {
    Q_OBJECT
public:
    /// Typing settles for this long before a search starts.
    static constexpr int kSearchDelayMs = 120;
    /// Entries of a site's history shown at once.
    static constexpr int kHistoryLimit = 500;

    /// What the window asks of the program. Empty members leave their buttons doing nothing.
    struct Hooks {
        /// Loads the set (kParameterSetBytes) into the editor and shows it.
        std::function<void(const QByteArray& set)> openSet;
        /// Writes the set to the module through the transfer window; site is whose set it is.
        std::function<void(const QByteArray& set, const QString& site)> writeSet;
        /// Compares the module with the set through the transfer window: the outcome with the
        /// differing settings as the transfer window says it, and what the history records.
        std::function<CompareOutcome(const QByteArray& set, const QString& site)> compareSet;
        /// The file name for a service report, offering suggested; empty means cancelled.
        std::function<QString(const QString& suggested)> chooseReportFile;
        /// The signal strength of the status window's last reading, if any.
        std::function<std::optional<int>()> lastSignal;
    };

    TSitesForm(SiteRegisterThread& worker, Hooks hooks, QWidget* parent = nullptr);
    ~TSitesForm() override;

    /// Searches for text at once (as typing it would, without the delay).
    void Search(const QString& text);
    /// Selects the site of that name in the list, searching for it first.
    void ShowSite(const QString& name);

    void btNewSiteClick();
    void btSaveSiteClick();
    void btOpenSetClick();
    void btWriteSetClick();
    void btCompareSetClick();
    void btReportClick();

    /// The site shown, if any.
    const std::optional<Site>& CurrentSite() const { return site_; }
    const std::vector<HistoryEntry>& CurrentHistory() const { return history_; }
    /// What the status line says now.
    QString StatusText() const;
    /// True while a query is on its way (tests wait for it to end).
    bool Busy() const { return pending_ > 0; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    /// Searches for the search field's text; select names the site to select among the results
    /// (else the one selected now stays selected).
    void StartSearch(const QString& select = {});
    void ShowResults(const std::vector<Site>& sites, const QString& keepName);
    void SiteSelected();
    void LoadSite(const QString& name);
    void ShowRecord();
    void ShowHistory();
    void EntrySelected();
    void EnableRecordControls();
    void Say(const QString& text);
    void Run(std::function<void(SiteRegister&)> job, std::function<void(const QString& error)> done,
             bool record = false);
    /// The set the open button uses: the selected entry's, else the site's current one.
    QByteArray ChosenSet() const;
    const HistoryEntry* SelectedEntry() const;
    Site EditedSite() const;

    SiteRegisterThread& worker_;
    Hooks hooks_;
    QTimer searchTimer_;
    quint64 searchGeneration_ = 0;
    quint64 loadGeneration_ = 0;
    int pending_ = 0;
    bool creating_ = false;
    QString saidProblem_;
    QString sayAfterSearch_;  // said instead of the next search's count  // the record shows a new site not yet stored
    std::optional<Site> site_;
    std::vector<HistoryEntry> history_;

    QLineEdit* edSearch = nullptr;
    QTreeWidget* tvSites = nullptr;
    QPushButton* btNewSite = nullptr;
    QLineEdit* edName = nullptr;
    QLineEdit* edCustomer = nullptr;
    QLineEdit* edAddress = nullptr;
    QLineEdit* edContact = nullptr;
    QPlainTextEdit* edNotes = nullptr;
    QLineEdit* edModule = nullptr;
    QLineEdit* edPanelId = nullptr;
    QLineEdit* edServerId = nullptr;
    QLineEdit* edLastPort = nullptr;
    QPushButton* btSaveSite = nullptr;
    QTreeWidget* tvHistory = nullptr;
    QTreeWidget* tvChanges = nullptr;
    QPushButton* btOpenSet = nullptr;
    QPushButton* btWriteSet = nullptr;
    QPushButton* btCompareSet = nullptr;
    QPushButton* btReport = nullptr;
    QPushButton* btClose = nullptr;
    QLabel* lbStatus = nullptr;
};

/// Renders the window with a few sites to path (PNG), for the documentation.
bool RenderSitesForm(const QString& path, const QString& reportPagePath);

}  // namespace orbiqa::sites
