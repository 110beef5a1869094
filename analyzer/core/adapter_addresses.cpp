#include "adapter_addresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>

#include <cstdio>
#include <cstring>

namespace AnalyzerProject {

namespace {

constexpr size_t kNameBufferSize = 256;

socklen_t AddressLength(int family)
{
    return family == AF_INET ? sizeof(sockaddr_in) : family == AF_INET6 ? sizeof(sockaddr_in6) : 0;
}

std::string DottedIpv4(const sockaddr* address)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
    return text;
}

std::string Formatted(const char* format, int index, const std::string& text)
{
    char line[64];
    std::snprintf(line, sizeof line, format, index);
    return line + text;
}

} // namespace

std::vector<AdapterUnicastAddresses> GroupAdapterAddresses(const ifaddrs* list)
{
    std::vector<AdapterUnicastAddresses> adapters;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_name || !entry->ifa_addr)
            continue;
        const int family = entry->ifa_addr->sa_family;
        if (family != AF_INET && family != AF_INET6)
            continue;
        auto adapter = adapters.begin();
        while (adapter != adapters.end() && adapter->name != entry->ifa_name)
            ++adapter;
        if (adapter == adapters.end())
            adapter = adapters.insert(adapters.end(), AdapterUnicastAddresses{entry->ifa_name, {}});
        sockaddr_storage address{};
        std::memcpy(&address, entry->ifa_addr, AddressLength(family));
        adapter->addresses.push_back(address);
    }
    return adapters;
}

std::optional<std::string> NumericAddressText(const sockaddr_storage& address)
{
    const socklen_t length = AddressLength(address.ss_family);
    if (length == 0)
        return std::nullopt;
    char host[kNameBufferSize];
    char service[kNameBufferSize];
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host, service, sizeof service,
                    NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return std::nullopt;
    return std::string(host);
}

AdapterAddressTable BuildAdapterAddressTable(const std::vector<AdapterUnicastAddresses>& adapters)
{
    AdapterAddressTable table;
    for (const AdapterUnicastAddresses& adapter : adapters) {
        std::string key;
        std::vector<std::string> ipv6;
        for (const sockaddr_storage& address : adapter.addresses) {
            const std::optional<std::string> text = NumericAddressText(address);
            if (!text)
                continue;
            if (address.ss_family == AF_INET)
                key = *text;
            else
                ipv6.push_back(*text);
        }
        if (!adapter.addresses.empty())
            table[key] = std::move(ipv6);
    }
    return table;
}

AdapterAddressTable ReadAdapterAddressTable()
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        std::fputs("Call to GetAdaptersAddresses failed.\n", stdout);
        std::fflush(stdout);
        return {};
    }
    AdapterAddressTable table = BuildAdapterAddressTable(GroupAdapterAddresses(list));
    freeifaddrs(list);
    return table;
}

std::vector<std::string> AdapterInformationLines(const pcap_if& nic, const AdapterAddressTable* ipv6ByIpv4)
{
    std::vector<std::string> lines;
    lines.push_back(std::string("Pcap instance name : ") + (nic.name ? nic.name : ""));
    lines.push_back(std::string("Description : ") + (nic.description ? nic.description : ""));
    int index = 1;
    for (const pcap_addr* entry = nic.addresses; entry; entry = entry->next) {
        if (!entry->addr || entry->addr->sa_family != AF_INET)
            continue;
        const std::string address = DottedIpv4(entry->addr);
        lines.push_back(Formatted("Address[%d] : ", index, address));
        if (entry->netmask)
            lines.push_back(Formatted("Netmask[%d] : ", index, DottedIpv4(entry->netmask)));
        ++index;
        if (!ipv6ByIpv4)
            continue;
        if (const auto found = ipv6ByIpv4->find(address); found != ipv6ByIpv4->end())
            for (const std::string& text : found->second)
                lines.push_back(Formatted("Address[%d] : ", index++, text));
    }
    return lines;
}

} // namespace AnalyzerProject
