// The Tessomat module record, shared by the files of the driver.
#pragma once

#include <pcap/pcap.h>

#include <atomic>
#include <thread>

#include "tessomat.h"

struct TsmHandlerEntry {
    TsmHandler function;
    void* user;
    TsmHandlerEntry* next;
};

struct Tessomat {
    pcap_t* source = nullptr;
    char* sourceName = nullptr;
    int32_t linkType = 0;
    bool offline = false;                 // a "file://" source
    std::atomic<bool> dispatching{false}; // read by the capture thread before every read
    std::atomic<bool> readingOffline{false}; // an offline read runs (on some caller's thread)
    bool filterCompiled = false;
    TsmTime frameTime{0, 0};
    std::thread* thread = nullptr;
    bpf_program filterProgram{};
    TsmHandlerEntry* handlerHead = nullptr;
    TsmHandlerEntry* handlerTail = nullptr;
    pcap_dumper_t* dumpFile = nullptr;
};

namespace tessomat {

constexpr int kSnapLength = 65535;
constexpr int kReadTimeoutMs = 1000;

// Frame entry given to the capture library: records the timestamp and walks the handlers.
void frameEntry(u_char* user, const pcap_pkthdr* header, const u_char* bytes);

} // namespace tessomat
