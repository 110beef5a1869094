// The adapter address table of this machine and the adapter information lines of the
// capture dialogs. The capture library lists an interface's IPv4 addresses with their
// netmasks; the IPv6 addresses shown next to them come from this table, which maps the
// IPv4 address text of every network adapter to the IPv6 address texts of the same adapter.
// No widgets.
#pragma once

#include <pcap/pcap.h>
#include <sys/socket.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

struct ifaddrs;

namespace AnalyzerProject {

// IPv4 address text -> IPv6 address texts of the same adapter, in listing order. An adapter
// without an IPv4 address is filed under the empty key.
using AdapterAddressTable = std::map<std::string, std::vector<std::string>>;

// One network adapter with its unicast (IPv4 and IPv6) addresses, in listing order.
struct AdapterUnicastAddresses {
    std::string name;
    std::vector<sockaddr_storage> addresses;
};

// The IPv4 and IPv6 entries of a getifaddrs() list, grouped by adapter name; adapters come
// in the order of their first entry. Other families (link-layer entries) are left out.
std::vector<AdapterUnicastAddresses> GroupAdapterAddresses(const ifaddrs* list);

// Numeric text of an IPv4 or IPv6 address as getnameinfo() gives it (numeric host and
// service, 256-byte buffers), or nothing when it cannot be converted. A scoped IPv6 address
// keeps its "%interface" suffix (for example "fe80::1%eth0").
std::optional<std::string> NumericAddressText(const sockaddr_storage& address);

// For each adapter in order: its last convertible IPv4 address text is the key, its
// convertible IPv6 texts the value. An adapter with at least one address sets the entry of
// its key, replacing what an earlier adapter with the same key put there.
AdapterAddressTable BuildAdapterAddressTable(const std::vector<AdapterUnicastAddresses>& adapters);

// The table of this machine. When the adapters cannot be read, a line saying so is written
// to the standard output and the table is empty.
AdapterAddressTable ReadAdapterAddressTable();

// The lines the capture dialogs show for an interface: its name, its description, and for
// each IPv4 address, numbered from 1, the address and its netmask. With a table, each IPv4
// address is followed by the IPv6 addresses the table holds for it, numbered on. Entries of
// other families are not listed (IPv6 comes from the table), and an IPv4 entry without a
// netmask gets no netmask line.
std::vector<std::string> AdapterInformationLines(const pcap_if& nic, const AdapterAddressTable* ipv6ByIpv4);

} // namespace AnalyzerProject
