// The adapter address table, the adapter information lines built from it, and the names of
// remote capture sources.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <cstring>

#include "adapter_addresses.h"
#include "remote_source_name.h"

using namespace AnalyzerProject;

namespace {

sockaddr_storage Ipv4(const char* text)
{
    sockaddr_storage storage{};
    auto* address = reinterpret_cast<sockaddr_in*>(&storage);
    address->sin_family = AF_INET;
    EXPECT_EQ(inet_pton(AF_INET, text, &address->sin_addr), 1) << text;
    return storage;
}

sockaddr_storage Ipv6(const char* text)
{
    sockaddr_storage storage{};
    auto* address = reinterpret_cast<sockaddr_in6*>(&storage);
    address->sin6_family = AF_INET6;
    EXPECT_EQ(inet_pton(AF_INET6, text, &address->sin6_addr), 1) << text;
    return storage;
}

sockaddr* AsAddress(sockaddr_storage& storage) { return reinterpret_cast<sockaddr*>(&storage); }

TEST(AdapterAddressTable, KeysAdaptersByTheirLastIpv4Address)
{
    sockaddr_storage unknownFamily{};
    unknownFamily.ss_family = AF_UNIX; // not convertible: skipped, but the adapter still counts
    const std::vector<AdapterUnicastAddresses> adapters{
        {"eth0", {Ipv6("fe80::1"), Ipv4("192.168.1.10"), Ipv6("2001:db8::5")}},
        {"eth1", {Ipv4("10.0.0.1"), Ipv4("10.0.0.2"), Ipv6("2001:db8::7")}},
        {"tun0", {Ipv6("2001:db8::9")}},
        {"dummy", {}},
        {"odd", {unknownFamily}},
        {"eth2", {Ipv4("10.0.0.2")}}, // same key as eth1: replaces its entry
    };
    const AdapterAddressTable table = BuildAdapterAddressTable(adapters);
    const AdapterAddressTable expected{
        {"", {}}, // "odd" came after "tun0" with the empty key
        {"192.168.1.10", {"fe80::1", "2001:db8::5"}},
        {"10.0.0.2", {}},
    };
    EXPECT_EQ(table, expected);
}

TEST(AdapterAddressTable, GroupsAnInterfaceListByAdapterName)
{
    sockaddr_storage a = Ipv4("127.0.0.1"), b = Ipv6("::1"), c = Ipv4("192.168.1.10");
    sockaddr link{};
    link.sa_family = AF_PACKET;
    char lo[] = "lo", eth0[] = "eth0";
    ifaddrs entries[5] = {};
    entries[0] = {&entries[1], lo, 0, &link, nullptr, {}, nullptr};
    entries[1] = {&entries[2], eth0, 0, &link, nullptr, {}, nullptr};
    entries[2] = {&entries[3], lo, 0, AsAddress(a), nullptr, {}, nullptr};
    entries[3] = {&entries[4], eth0, 0, AsAddress(c), nullptr, {}, nullptr};
    entries[4] = {nullptr, lo, 0, AsAddress(b), nullptr, {}, nullptr};

    const std::vector<AdapterUnicastAddresses> adapters = GroupAdapterAddresses(entries);
    ASSERT_EQ(adapters.size(), 2u);
    EXPECT_EQ(adapters[0].name, "lo");
    EXPECT_EQ(adapters[1].name, "eth0");
    const AdapterAddressTable table = BuildAdapterAddressTable(adapters);
    EXPECT_EQ(table.at("127.0.0.1"), std::vector<std::string>{"::1"});
    EXPECT_EQ(table.at("192.168.1.10"), std::vector<std::string>{});
}

TEST(AdapterAddressTable, ScopedIpv6TextsKeepTheirInterface)
{
    sockaddr_storage linkLocal = Ipv6("fe80::1");
    reinterpret_cast<sockaddr_in6*>(&linkLocal)->sin6_scope_id = 1; // lo
    EXPECT_EQ(NumericAddressText(linkLocal).value_or(""), "fe80::1%lo");
    EXPECT_EQ(NumericAddressText(Ipv4("10.0.0.255")).value_or(""), "10.0.0.255");
}

TEST(AdapterInformation, Ipv6TextsOfTheAdapterFollowItsIpv4Address)
{
    sockaddr_storage first = Ipv4("192.168.1.10"), mask = Ipv4("255.255.255.0");
    sockaddr_storage v6 = Ipv6("2001:db8::5");
    sockaddr_storage second = Ipv4("10.1.2.3"), noMaskV4 = Ipv4("172.16.0.1");
    pcap_addr entries[4] = {};
    entries[0] = {&entries[1], AsAddress(first), AsAddress(mask), nullptr, nullptr};
    entries[1] = {&entries[2], AsAddress(v6), nullptr, nullptr, nullptr}; // listed by the table instead
    entries[2] = {&entries[3], AsAddress(second), AsAddress(mask), nullptr, nullptr};
    entries[3] = {nullptr, AsAddress(noMaskV4), nullptr, nullptr, nullptr};
    char name[] = "eth0", description[] = "First Ethernet";
    const pcap_if nic{nullptr, name, description, entries, 0};
    const AdapterAddressTable table{{"192.168.1.10", {"fe80::1%eth0", "2001:db8::5"}}, {"", {"fe80::9"}}};

    const std::vector<std::string> local{
        "Pcap instance name : eth0",   "Description : First Ethernet", "Address[1] : 192.168.1.10",
        "Netmask[1] : 255.255.255.0",  "Address[2] : fe80::1%eth0",    "Address[3] : 2001:db8::5",
        "Address[4] : 10.1.2.3",       "Netmask[4] : 255.255.255.0",   "Address[5] : 172.16.0.1",
    };
    EXPECT_EQ(AdapterInformationLines(nic, &table), local);

    const std::vector<std::string> remote{
        "Pcap instance name : eth0", "Description : First Ethernet", "Address[1] : 192.168.1.10",
        "Netmask[1] : 255.255.255.0", "Address[2] : 10.1.2.3",       "Netmask[2] : 255.255.255.0",
        "Address[3] : 172.16.0.1",
    };
    EXPECT_EQ(AdapterInformationLines(nic, nullptr), remote);

    const pcap_if bare{nullptr, name, nullptr, nullptr, 0};
    EXPECT_EQ(AdapterInformationLines(bare, &table),
              (std::vector<std::string>{"Pcap instance name : eth0", "Description : "}));
}

TEST(RemoteSourceNames, CarryThePortUnlessItIsTheDefaultOne)
{
    EXPECT_EQ(RemoteSourceName("10.0.0.5", "2002", "eth0"), "rpcap://10.0.0.5/eth0");
    EXPECT_EQ(RemoteSourceName("10.0.0.5", "40123", "eth0"), "rpcap://10.0.0.5:40123/eth0");
    EXPECT_EQ(RemoteSourceName("server.example", "2003", "lo"), "rpcap://server.example:2003/lo");
    EXPECT_EQ(RemoteSourceName("::1", "2002", "lo"), "rpcap://[::1]/lo");
    EXPECT_EQ(RemoteSourceName("fe80::1", "2003", "lo"), "rpcap://[fe80::1]:2003/lo");

    EXPECT_EQ(RemoteDeviceName("rpcap://127.0.0.1:40123/lo"), "lo");
    EXPECT_EQ(RemoteDeviceName("rpcap://server/eth0"), "eth0");
    EXPECT_EQ(RemoteDeviceName("rpcap://[::1]:2003/dbus-system"), "dbus-system");
    EXPECT_EQ(RemoteDeviceName("rpcap://host:2003/usb/1"), "usb/1");
    EXPECT_EQ(RemoteDeviceName("eth0"), "eth0");
}

} // namespace
