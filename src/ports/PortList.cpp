#include "ports/PortList.h"

#include <algorithm>

#include "base/IntText.h"
#include "base/Win1250.h"
#include "serial/PortName.h"

namespace orbiqa {

void PortList::SetNetworkPorts(const std::vector<std::string>& ports) {
    networkPorts_ = NetworkPortList(ports, kRememberedNetworkPorts);
}

void PortList::RememberNetworkPort(const std::string& address) { orbiqa::RememberNetworkPort(networkPorts_, address); }

void PortList::RememberCurrentPort(const std::string& displayName) {
    if (currentRemembered_) return;
    currentRemembered_ = true;
    if (const auto address = ParseNetworkPort(displayName);
        address && std::find(networkPorts_.begin(), networkPorts_.end(), address->Text()) == networkPorts_.end())
        RememberNetworkPort(address->Text());
}

int PortList::AddUserPort(int number) {
    userPorts_.push_back(UserPortRecord(number));
    return static_cast<int>(networkPorts_.size() + userPorts_.size()) - 1;
}

void PortList::Clear() {
    scannedPorts_.clear();
    userPorts_.clear();
    selectedIndex_ = 0;
    selectedPort_.clear();
    selectedDisplayName_.clear();
}

void PortList::Rebuild() {
    PortRecords rows;
    for (const std::string& address : networkPorts_) rows.push_back(NetworkPortRecord(address));
    rows.insert(rows.end(), userPorts_.begin(), userPorts_.end());
    rows.insert(rows.end(), scannedPorts_.begin(), scannedPorts_.end());
    if (rows.empty()) rows.emplace_back();
    rows_ = std::move(rows);
}

std::string PortList::Cell(int row) const {
    return RowExists(row) ? rows_[static_cast<std::size_t>(row)] : std::string();
}

int PortList::FindRow(const std::string& name) const {
    // A blank name names no port; it must not pick a row that merely has no name.
    if (name.empty()) return -1;
    for (int r = 0; r < RowCount(); ++r)
        if (RecordName(Cell(r)) == name) return r;
    return -1;
}

bool PortList::IsNetworkRow(int row) const {
    return RowExists(row) && static_cast<std::size_t>(row) < networkPorts_.size() &&
           RecordName(Cell(row)) == networkPorts_[static_cast<std::size_t>(row)];
}

void PortList::Choose(int row) {
    if (!RowExists(row)) return;
    const std::string record = Cell(row);
    const std::string name = RecordName(record);
    networkChosen_ = ParseNetworkPort(name).has_value();
    if (networkChosen_) {
        selectedIndex_ = 0;
        selectedPort_ = selectedDisplayName_ = name;
        return;
    }
    selectedIndex_ = PortNumberOf(record);
    if (selectedIndex_ > 0) {
        selectedPort_ = "COM" + IntToStr(selectedIndex_);
        selectedDisplayName_ = name.substr(0, name.find(':'));
    }
}

std::string PortList::ForgetNetworkRow(int row, bool& wasChosen) {
    wasChosen = false;
    if (!IsNetworkRow(row)) return {};
    const std::string address = networkPorts_[static_cast<std::size_t>(row)];
    networkPorts_.erase(networkPorts_.begin() + row);
    wasChosen = networkChosen_ && selectedPort_ == address;
    if (wasChosen) {
        networkChosen_ = false;
        selectedIndex_ = 0;
        selectedPort_.clear();
        selectedDisplayName_.clear();
    }
    return address;
}

std::string PortList::NetworkPortRecord(const std::string& address) {
    return "+" + address + ";(" + Utf8ToWin1250("hálózati port").value_or("") + ")";
}

}  // namespace orbiqa
