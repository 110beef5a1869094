// Texts of a packet list row, made from a decoded packet when the row is shown: the row
// number, the capture time, the source and destination addresses and the summary of the
// header chain ("Encapsulation"). The functions keep no state and may run on any thread.
//
// Fields are read from the frame bytes at each node's offset, in network byte order, and
// never outside packet.data[0..length). A chain from the decoder always has its fields
// inside the frame; for any other chain (a hand-made one, a damaged copy) a node whose
// fields do not lie wholly inside the frame is written as its bare label ("IPv4", "TCP",
// "UDP"), and an address whose bytes do not lie inside the frame is written as " * ".
// Lengths printed by "ETH2" and "Data" are the nodes' own length fields, as they are.
#pragma once

#include <cstdint>
#include <string>

#include "quarvel.h"

namespace AnalyzerProject {

// The address text of a packet whose chain names no Ethernet header.
inline constexpr const char* NO_ADDRESS_TEXT = " * ";
// The label of a node kind the list does not know (HN_DATA, codes above 25, negative codes).
inline constexpr const char* UNKNOWN_NODE_TEXT = "UNKNOWN_TYPE";

// The row number in decimal: "0", "1", ..., "4294967295".
std::string RowNumberText(uint32_t row);

// The capture time in local time: "YYYY/MM/DD hh:mm:ss.uuuuuu \n" (the microseconds as six
// zero-padded digits, then a blank and a line feed, which belong to the text). If the
// seconds cannot be converted to a calendar time, the date part is left empty.
std::string PacketTimeText(int32_t sec, int32_t usec);

// The label of one node kind, without its fields: "ETH2", "IPv4", "TCP Opt", "Data", ...
const char* NodeKindLabel(int32_t kind);

struct PacketAddresses {
    std::string source;
    std::string destination;
};

// Source and destination by the address kind that the chain fixes: none (no Ethernet node)
// gives " * " twice; an Ethernet node gives its MAC addresses ("%02x:..."); the first IPv4
// or IPv6 node after it chooses IP addresses, read from the last node of that kind
// (dotted decimal, or eight groups of four lower-case hex digits, never shortened).
PacketAddresses PacketAddressTexts(const QvrPacket& packet);

// The node texts of the chain, outermost first, joined by ";": "ETH2,len:214;IPv4,id:4660;
// UDP,sport:5060,dport:5060;Data,len:172". An empty chain gives an empty text.
std::string EncapsulationText(const QvrPacket& packet);

struct PacketRowTexts {
    std::string number;
    std::string time;
    std::string source;
    std::string destination;
    std::string encapsulation;
};

// All texts of the row `row` showing `packet`, with one walk over the chain.
PacketRowTexts MakeRowTexts(uint32_t row, const QvrPacket& packet);

} // namespace AnalyzerProject
