#pragma once
// The rows of the port chooser and the port chosen from them, without the window: the
// remembered network ports on top (most recent first), then the ports the user added by number,
// then the scanned ports. Each row holds a port record (see SorosKeres.h).
#include <string>
#include <vector>

#include "ports/RecentNetworkPorts.h"
#include "ports/SorosKeres.h"

namespace orbiqa {

class PortList {
public:
    /// Replaces the remembered network ports: addresses that are no network port are dropped, a
    /// port given twice is listed once, and only the first kRememberedNetworkPorts are kept.
    void SetNetworkPorts(const std::vector<std::string>& ports);
    const std::vector<std::string>& NetworkPorts() const { return networkPorts_; }
    /// Puts the address first among the remembered network ports.
    void RememberNetworkPort(const std::string& address);
    /// Lists the current port, when it is on the network and not listed yet. Only the first call
    /// counts: a port the user removed afterwards is not brought back.
    void RememberCurrentPort(const std::string& displayName);
    /// Lists "COM<number>" as the user's port; returns the row it will have.
    int AddUserPort(int number);

    /// The scanned ports, as the last scan left them.
    PortRecords& ScannedPorts() { return scannedPorts_; }
    const PortRecords& ScannedPorts() const { return scannedPorts_; }
    const PortRecords& UserPorts() const { return userPorts_; }
    /// Forgets the scanned and the user's ports and the choice.
    void Clear();

    /// Puts the network ports, the user's ports and the scanned ports into the rows. With nothing
    /// to show there is one blank row, never a leftover of an earlier list.
    void Rebuild();
    int RowCount() const { return static_cast<int>(rows_.size()); }
    bool RowExists(int row) const { return row >= 0 && row < RowCount(); }
    /// The record of the row; empty for a row without one.
    std::string Cell(int row) const;
    /// The first row whose port has that name; -1 for none and for a blank name.
    int FindRow(const std::string& name) const;
    /// Whether the row shows a remembered network port.
    bool IsNetworkRow(int row) const;

    /// Makes the port of the row the chosen one; a row without a port number leaves the choice.
    void Choose(int row);
    /// Forgets the network port of the row (the rows are not rebuilt). Returns its address, or
    /// empty when the row shows none. When it was the chosen port, nothing is chosen any more.
    std::string ForgetNetworkRow(int row, bool& wasChosen);

    bool NetworkChosen() const { return networkChosen_; }
    /// The chosen COM number; 0 for none and for a network port.
    int SelectedIndex() const { return selectedIndex_; }
    /// "COM<n>", or the address of a network port.
    const std::string& SelectedPort() const { return selectedPort_; }
    const std::string& SelectedDisplayName() const { return selectedDisplayName_; }

    /// The record a network port is listed with.
    static std::string NetworkPortRecord(const std::string& address);

private:
    PortRecords scannedPorts_;
    PortRecords userPorts_;
    std::vector<std::string> networkPorts_;
    PortRecords rows_;
    bool currentRemembered_ = false;

    int selectedIndex_ = 0;
    bool networkChosen_ = false;
    std::string selectedPort_;
    std::string selectedDisplayName_;
};

}  // namespace orbiqa
