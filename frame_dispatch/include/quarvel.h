/* Quarvel: the frame decoder and dispatch library. A module opens one capture source
 * through the capture driver, decodes every frame into a header chain and hands the
 * decoded packet to its handlers. Packets are kept beyond a handler call only as copies
 * made with QvrPacketDuplicate and released with QvrDeletePacket.
 *
 * Every function returns a status code (QVR_*); results travel through out-parameters. */
#ifndef QUARVEL_H
#define QUARVEL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(QUARVEL_BUILD)
#define QVR_API __attribute__((visibility("default")))
#else
#define QVR_API
#endif

struct pcap_if;
struct pcap_rmtauth;

typedef struct Quarvel Quarvel;

enum {
    QVR_OK = 0,
    QVR_REFUSED = 1,          /* the driver refused or failed */
    QVR_NO_MEMORY = 3,
    QVR_INVALID_ARG = 4,
    QVR_BUSY = 5,             /* handler list or filter change while dispatching */
    QVR_ALREADY_RUNNING = 6,
    QVR_NOT_RUNNING = 7
};

/* Header node kinds. */
enum {
    HN_DATA = 0,
    HN_ETHERNET = 1,
    HN_IEEE8023 = 2, /* reserved, never produced */
    HN_PPP = 3,
    HN_PPPOE = 4,
    HN_ATM = 5,
    HN_FDDI = 6,
    HN_TOKENRING = 7,
    HN_IEEE80211 = 8,
    HN_ARP = 9,
    HN_IPV4 = 10,
    HN_IPV4_OPTIONS = 11,
    HN_ICMPV4 = 12,
    HN_IPV6 = 13,
    HN_IPV6_HOPBYHOP = 14,
    HN_IPV6_ROUTING = 15,
    HN_IPV6_FRAGMENT = 16,
    HN_IPV6_DSTOPTS = 17,
    HN_ICMPV6 = 18,
    HN_AH = 19,
    HN_ESP = 20,
    HN_TCP = 21,
    HN_TCP_OPTIONS = 22,
    HN_TCP_DATA = 23,
    HN_UDP = 24,
    HN_UDP_DATA = 25
};

/* One decoded header. Protocol header nodes reach from `offset` to the end of the frame;
 * options, payloads and IPv6 extension headers carry their own size. */
typedef struct HeaderNode {
    int32_t kind;
    uint32_t length;
    uint32_t offset; /* from the first byte of the frame */
    struct HeaderNode* next;
} HeaderNode;

/* One decoded packet. */
typedef struct QvrPacket {
    int32_t ts_sec;
    int32_t ts_usec;
    uint8_t* data;
    uint32_t length;
    HeaderNode* head; /* outermost node, or null */
    HeaderNode* tail; /* innermost node, or null */
} QvrPacket;

/* Packet handler: returning 1 ends the walk for this packet. */
typedef int32_t (*QvrHandler)(QvrPacket* packet, void* user);

QVR_API int32_t QvrCreateQuarvel(const char* source, int32_t promiscuous,
                                 struct pcap_rmtauth* auth, Quarvel** out);
QVR_API int32_t QvrDeleteQuarvel(Quarvel* module);

QVR_API int32_t QvrRegisterHandler(Quarvel* module, QvrHandler function, void* user);
QVR_API int32_t QvrUnregisterHandler(Quarvel* module, QvrHandler function);
QVR_API int32_t QvrCleanHandler(Quarvel* module);

QVR_API int32_t QvrStartDispatch(Quarvel* module);
/* Stops the capture thread and waits for its end. On a module whose capture file is being
 * read by QvrStartDispatchOfflinePacket on another thread, asks that read to end after the
 * frame in progress instead (0); on an idle module, QVR_NOT_RUNNING. */
QVR_API int32_t QvrStopDispatch(Quarvel* module);
QVR_API int32_t QvrStartDispatchOfflinePacket(Quarvel* module);

QVR_API int32_t QvrSetFilter(Quarvel* module, const char* expression);
QVR_API int32_t QvrSendPacket(Quarvel* module, const uint8_t* frame, uint32_t length);

QVR_API int32_t QvrPacketDuplicate(QvrPacket** out, const QvrPacket* source);
QVR_API int32_t QvrDeletePacket(QvrPacket* packet);

QVR_API int32_t QvrGetLinkType(Quarvel* module, int32_t* linkType);
QVR_API int32_t QvrGetPacketMissCount(Quarvel* module, int32_t* count);

QVR_API int32_t QvrOpenDumpFile(Quarvel* module, const char* path);
QVR_API int32_t QvrWriteDumpFile(Quarvel* module, const QvrPacket* packet);
QVR_API int32_t QvrCloseDumpFile(Quarvel* module);

QVR_API int32_t QvrGetAllNIC(struct pcap_if** out);
QVR_API int32_t QvrFreeAllNIC(struct pcap_if* list);
QVR_API int32_t QvrGetRemoteAllNIC(const char* host, const char* port,
                                   struct pcap_rmtauth* auth, struct pcap_if** out);

QVR_API int32_t QvrCreateAuthInfo(int32_t type, const char* user, const char* password,
                                  struct pcap_rmtauth** out);
QVR_API int32_t QvrDeleteAuthInfo(struct pcap_rmtauth* auth);

#ifdef __cplusplus
}
#endif

#endif
