#pragma once
// "Soros portok": the modal window that lists the machine's serial ports, present ones in black
// and absent ones in dark red, refreshed every second, and lets the user pick one or add one by
// number. Network ports the user added are remembered (most recent first) and listed on top;
// Delete or the menu forgets one. A screen reader is told when the focused row's port comes or
// goes. TSorosDialog creates one per use.
#include <QDialog>
#include <QPointer>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "ports/PortList.h"
#include "ports/SorosKeres.h"

class QAction;
class QLabel;
class QMenu;
class QPainter;
class QPushButton;
class QTableWidget;
class QTimer;
class QWindow;

namespace orbiqa {

class PortWatch;

class TFormComPort : public QDialog {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 373;
    static constexpr int kClientHeight = 257;
    static constexpr int kRowHeight = 20;
    static constexpr int kRefreshMs = 1000;
    /// How many network ports are remembered; adding another forgets the least recent.
    static constexpr std::size_t kRememberedNetworkPorts = orbiqa::kRememberedNetworkPorts;

    /// keres holds the device list, which outlives the window.
    explicit TFormComPort(SorosKeres& keres, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QTableWidget* StringGrid1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* jporthozzadsa1 = nullptr;
    QAction* jhalozatiport1 = nullptr;
    QAction* jhalozatiporttorles1 = nullptr;
    QLabel* Panel1 = nullptr;
    QLabel* Panel2 = nullptr;
    QPushButton* Button1 = nullptr;
    QTimer* Timer1 = nullptr;

    /// Full scan, immediate refresh, timer start, selection of the default port. Runs each time
    /// the window becomes the program's active window. Registry and number errors propagate.
    void FormActivate();
    void FormClose();
    /// The one-second refresh on the cached device list; does nothing while hidden.
    void Timer1Timer();
    /// Puts the user's ports, then the scanned ports, into the grid rows.
    void StringgridInit();
    /// Selects and scrolls to the first row whose name is text; clears the selection and the
    /// panels when there is none.
    void GridBeallit(const std::string& text);
    void Kivalaszt(int row);
    void StringGrid1DrawCell(QPainter& painter, int column, int row, const QRect& rect, bool selected);
    bool StringGrid1SelectCell(int column, int row);
    void Button1Click();
    /// "Port hozzáadása": asks for a port number and lists it as the user's port.
    void jporthozzadsa1Click();
    /// Keeps the list live: each device report scans again and refreshes at once, while the
    /// window is shown. watch may be null (no reports).
    void FollowDevices(PortWatch* watch);
    /// A device came or went: full scan and refresh, keeping the chosen row chosen.
    void DevicesChanged();
    /// "Hálózati port hozzáadása": asks for an address (rfc2217://HOST:PORT, socket://HOST:PORT)
    /// and lists it as the user's port, selected. Anything else is refused with a message.
    void jhalozatiport1Click();
    /// "Hálózati port eltávolítása" (also Delete on the grid): forgets the network port of the
    /// current row. Does nothing on any other row. When that port was chosen, nothing is.
    void jhalozatiporttorles1Click();

    /// The network ports listed on top of the grid, most recent first. Set before the window
    /// opens: addresses that are no network port are dropped, a port given twice is listed
    /// once, and only the first kRememberedNetworkPorts are kept.
    void SetNetworkPorts(const std::vector<std::string>& ports);
    const std::vector<std::string>& NetworkPorts() const { return list_.NetworkPorts(); }

    /// The selected COM number; 0 for none and for a network port.
    int SelectedIndex() const { return list_.SelectedIndex(); }
    /// "COM<n>", or the address of a network port.
    const std::string& SelectedPort() const { return list_.SelectedPort(); }
    const std::string& SelectedDisplayName() const { return list_.SelectedDisplayName(); }
    const std::string& DefaultDisplayName() const { return defaultDisplayName_; }
    void SetDefaultDisplayName(const std::string& name) { defaultDisplayName_ = name; }
    void SetAddPortPrompt(const QString& prompt) { addPortPrompt_ = prompt; }
    const PortRecords& ScannedPorts() const { return list_.ScannedPorts(); }
    const PortRecords& UserPorts() const { return list_.UserPorts(); }
    /// The record shown in a grid row; empty for a row without one.
    std::string Cell(int row) const { return list_.Cell(row); }
    /// Replaces the text of Label1, which also names the grid.
    void SetLabelText(const QString& text);

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void FormCreate();
    void UpdatePanelHints();
    void SelectRow(int row);
    void FocusWindowChanged(QWindow* window);
    void RefreshTick();
    /// Announces the new presence of the port that was in the focused row (record before),
    /// when the refresh just made changed it.
    void SayFocusedPresence(const std::string& before);
    /// Runs a refresh; on an error stops Timer1 (one error, one box) and lets it propagate.
    template <typename Refresh>
    void GuardedRefresh(Refresh refresh);
    /// Runs show, which shows a box of this window; the return from the box is not taken for a
    /// new activation.
    void OwnBox(const std::function<void()>& show);
    /// Shows an input box of this window and returns the answer.
    QString AskOwnBox(const QString& objectName, const QString& prompt, const QString& initial);
    /// Shows the refusal of a text that is no network port address, as a box of this window.
    void RefuseNetworkAddress(const QString& answer);
    /// Makes the row of that port current and selected again after the rows changed, without
    /// choosing it anew. False when no row shows it.
    bool KeepChosen(const std::string& name);
    /// Empties both panels.
    void ClearPanels();

    SorosKeres& keres_;
    PortList list_;
    std::string defaultDisplayName_;
    QString addPortPrompt_;

    bool settingSelection_ = false;
    // The grid's rows were last filled while the window was shown.
    bool listShown_ = false;
    bool centred_ = false;
    // The program's active window before the last focus change; a return from another program
    // is not an activation of this window.
    QPointer<QWindow> lastFocusWindow_;
    // Set when focus leaves for a box this window caused (the add-port input box, the error box
    // of a failed scan); the return from it is not a new activation, so the user's selection
    // stands and a failing scan is not repeated into another error box.
    bool returnFromOwnBox_ = false;
};

}  // namespace orbiqa
