/* Tessomat: the capture driver. One module owns one capture source (a local interface,
 * an interface of a remote capture server, or a capture file), delivers every frame to
 * its handlers, and installs filters, sends frames and writes capture files.
 *
 * Every function returns a status code (TSM_*); results travel through out-parameters. */
#ifndef TESSOMAT_H
#define TESSOMAT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(TESSOMAT_BUILD)
#define TSM_API __attribute__((visibility("default")))
#else
#define TSM_API
#endif

/* Capture library types handed through unchanged (see <pcap.h>). */
struct pcap_if;
struct pcap_rmtauth;

typedef struct Tessomat Tessomat;

enum {
    TSM_OK = 0,
    TSM_REFUSED = 1,        /* the capture library or the system refused */
    TSM_NO_MEMORY = 2,
    TSM_INVALID_ARG = 3,
    TSM_BUSY = 4,           /* handler list or filter change while dispatching */
    TSM_ALREADY_RUNNING = 5,
    TSM_NOT_RUNNING = 6,
    TSM_BAD_FILTER = 7,     /* the expression does not compile */
    TSM_FILTER_REJECTED = 8 /* the compiled filter cannot be installed */
};

/* Remote authentication type that carries a user name and a password. */
#define TSM_AUTH_PASSWORD 1

/* Prefix of capture file sources: "file://" followed by the path. */
#define TSM_FILE_PREFIX "file://"

typedef struct TsmTime {
    int32_t sec;
    int32_t usec;
} TsmTime;

/* Frame handler. The pointed-to values are valid only during the call. The length is
 * the number of bytes at `frame` (the captured length). Returning 1 ends the walk. */
typedef int32_t (*TsmHandler)(const TsmTime* time, const uint32_t* length,
                              const uint8_t* frame, void* user);

TSM_API int32_t TsmCreateTessomat(const char* source, int32_t promiscuous,
                                  struct pcap_rmtauth* auth, Tessomat** out);
TSM_API int32_t TsmDeleteTessomat(Tessomat* module);

TSM_API int32_t TsmRegisterHandler(Tessomat* module, TsmHandler function, void* user);
TSM_API int32_t TsmUnregisterHandler(Tessomat* module, TsmHandler function);
TSM_API int32_t TsmCleanHandler(Tessomat* module);

TSM_API int32_t TsmStartDispatch(Tessomat* module);
/* Stops the capture thread and waits for its end. On a module whose capture file is being
 * read by TsmStartDispatchOfflinePacket on another thread, asks that read to end after the
 * frame in progress instead (0); on an idle module, TSM_NOT_RUNNING. */
TSM_API int32_t TsmStopDispatch(Tessomat* module);
TSM_API int32_t TsmStartDispatchOfflinePacket(Tessomat* module);

TSM_API int32_t TsmSetFilter(Tessomat* module, const char* expression);
TSM_API int32_t TsmSendPacket(Tessomat* module, const uint8_t* frame, int32_t length);
TSM_API int32_t TsmGetLinkType(Tessomat* module, int32_t* linkType);

TSM_API int32_t TsmOpenDumpFile(Tessomat* module, const char* path);
TSM_API int32_t TsmWriteDumpFile(Tessomat* module, int32_t sec, int32_t usec,
                                 uint32_t length, const uint8_t* frame);
TSM_API int32_t TsmCloseDumpFile(Tessomat* module);

TSM_API int32_t TsmGetAllNIC(struct pcap_if** out);
TSM_API int32_t TsmFreeAllNIC(struct pcap_if* list);
TSM_API int32_t TsmGetRemoteAllNIC(const char* host, const char* port,
                                   struct pcap_rmtauth* auth, struct pcap_if** out);

TSM_API int32_t TsmCreateAuthInfo(int32_t type, const char* user, const char* password,
                                  struct pcap_rmtauth** out);
TSM_API int32_t TsmDeleteAuthInfo(struct pcap_rmtauth* auth);

#ifdef __cplusplus
}
#endif

#endif
