// The chooser's rows and its remembered network ports, without the window.
#include <gtest/gtest.h>

#include "ports/PortList.h"

using namespace orbiqa;

TEST(RecentNetworkPorts, OnlyAddressesAreKeptCanonicalOnceAndWithinTheLimit) {
    const std::vector<std::string> texts{"socket://b:2", "COM3", "", "rfc2217://a:1", "socket://b:2",
                                         "rfc2217://", "socket://c:3"};
    EXPECT_EQ(NetworkPortList(texts), (std::vector<std::string>{"socket://b:2", "rfc2217://a:1", "socket://c:3"}));
    EXPECT_EQ(NetworkPortList(texts, 2), (std::vector<std::string>{"socket://b:2", "rfc2217://a:1"}));
    EXPECT_TRUE(NetworkPortList({}, 0).empty());

    std::vector<std::string> ports;
    for (int i = 0; i < 10; ++i) RememberNetworkPort(ports, "socket://h:" + std::to_string(4000 + i));
    ASSERT_EQ(ports.size(), kRememberedNetworkPorts);
    EXPECT_EQ(ports.front(), "socket://h:4009");
    EXPECT_EQ(ports.back(), "socket://h:4002");
    // Remembered again, a port moves to the top; none is lost or listed twice.
    RememberNetworkPort(ports, "socket://h:4005");
    ASSERT_EQ(ports.size(), kRememberedNetworkPorts);
    EXPECT_EQ(ports.front(), "socket://h:4005");
    EXPECT_EQ(std::count(ports.begin(), ports.end(), "socket://h:4005"), 1);
    EXPECT_EQ(ports.back(), "socket://h:4002");
}

TEST(PortList, ForgettingTheChosenNetworkPortLeavesNothingChosen) {
    PortList list;
    list.SetNetworkPorts({"socket://a:1", "socket://b:2"});
    list.Rebuild();
    EXPECT_TRUE(list.IsNetworkRow(1));
    EXPECT_FALSE(list.IsNetworkRow(2));
    list.Choose(1);
    ASSERT_TRUE(list.NetworkChosen());
    EXPECT_EQ(list.SelectedPort(), "socket://b:2");

    bool wasChosen = true;
    EXPECT_EQ(list.ForgetNetworkRow(0, wasChosen), "socket://a:1");
    EXPECT_FALSE(wasChosen);
    EXPECT_EQ(list.SelectedPort(), "socket://b:2");
    list.Rebuild();
    EXPECT_EQ(list.ForgetNetworkRow(0, wasChosen), "socket://b:2");
    EXPECT_TRUE(wasChosen);
    EXPECT_FALSE(list.NetworkChosen());
    EXPECT_TRUE(list.SelectedPort().empty());
    // Nothing left: one blank row, which is no network row and names no port.
    list.Rebuild();
    EXPECT_EQ(list.RowCount(), 1);
    EXPECT_EQ(list.Cell(0), "");
    EXPECT_EQ(list.ForgetNetworkRow(0, wasChosen), "");
    EXPECT_EQ(list.FindRow(""), -1);
}

TEST(PortList, TheCurrentNetworkPortIsListedOnlyAtTheFirstOpening) {
    PortList list;
    list.SetNetworkPorts({"socket://a:1"});
    list.RememberCurrentPort("socket://b:2");
    EXPECT_EQ(list.NetworkPorts(), (std::vector<std::string>{"socket://b:2", "socket://a:1"}));
    list.Rebuild();
    bool wasChosen = false;
    list.ForgetNetworkRow(0, wasChosen);
    list.RememberCurrentPort("socket://b:2");
    EXPECT_EQ(list.NetworkPorts(), (std::vector<std::string>{"socket://a:1"}));
}
