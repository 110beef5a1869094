// One capture session: the sources of one analysis (interfaces, or one capture file), a
// dispatch module per source whose handler copies every decoded packet into the session,
// and the packet store that every page reads by index, in arrival order.
#pragma once

#include <pcap/pcap.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "quarvel_handles.h"

namespace AnalyzerProject {

struct PacketCaptureConf {
    int32_t promiscuous = 0;
};

// A position in the store, for walks that visit many packets in order.
struct PacketCursor {
    uint32_t index = 0;
};

class CPacketCapture {
public:
    CPacketCapture() = default;
    CPacketCapture(const CPacketCapture&) = delete;
    CPacketCapture& operator=(const CPacketCapture&) = delete;
    ~CPacketCapture();

    // Sources. The session takes ownership of `auth` (null for none).
    void AddInterface(const std::string& name, pcap_rmtauth* auth);
    bool HasInterface(const std::string& name) const;
    int InterfaceCount() const { return static_cast<int>(names.size()); }
    std::string InterfaceName(int i) const;

    // The lock that guards the store (the analysis window's); null changes nothing.
    void SetLock(std::mutex* lock);

    // A null file name opens the interface sources (idle until StartCapture); a file name
    // opens that capture file, with an optional filter, and starts reading it at once.
    bool Open(const char* fileName, const char* filter);

    void StartCapture(bool keepPackets);
    void StopCapture();

    bool SetInterfaceFilter(int i, const std::string& expression);
    void GetInterfaceFilter(int i, std::string& out) const;
    bool SetInterfacePromiscuous(int i, int32_t flag);
    bool GetInterfaceConf(int i, PacketCaptureConf& out) const;
    void GetConfs(std::vector<PacketCaptureConf>& out) const;

    // The store. Pointers handed out stay valid until the store is cleared.
    uint32_t PacketCount() const;
    QvrPacket* GetPacket(uint32_t n) const;
    // Up to `count` stored packets from packet index `first` into `out`, under one hold of
    // the lock; answers how many there were.
    uint32_t GetPackets(uint32_t first, uint32_t count, QvrPacket** out) const;
    PacketCursor FirstPacket() const { return {}; }
    QvrPacket* GetPacketFrom(uint32_t n, PacketCursor& cursor, uint32_t cursorIndex) const;
    // Every stored packet (no selection) or the selected ones in selection order.
    bool SavePackets(const char* fileName, const std::vector<QvrPacket*>* selection) const;
    void ClearPackets();

    bool IsFileSession() const { return fileMode; }
    // True while the file reader thread still reads.
    bool IsReading() const { return readerRunning.load(std::memory_order_acquire); }
    // The decoder's drops for lack of memory, over all modules.
    int32_t MissCount() const;

    // Handler on every module: stores a private copy of the packet. Always answers 0.
    static int32_t StorePacket(QvrPacket* packet, void* session);

private:
    QuarvelModule CreateModule(int i) const;
    void EndFileReader();
    std::mutex& Lock() const { return storeLock ? *storeLock : ownLock; }

    std::vector<std::string> names;
    std::vector<std::string> filters;
    std::vector<AuthRecord> auths;
    std::vector<QuarvelModule> modules;
    std::vector<PacketCaptureConf> confs;

    std::deque<QvrPacket*> packets; // owned copies, in arrival order
    // Copies the file reader has made but not yet stored: it stores them a batch at a time,
    // so that it does not take the store lock a million times a second and starve the
    // threads that read the store. Touched by the reader thread only.
    std::vector<QvrPacket*> readerBatch;
    static constexpr size_t kReaderBatch = 256;
    void StoreReaderBatch();
    std::mutex* storeLock = nullptr;
    mutable std::mutex ownLock;

    std::thread readerThread;
    std::atomic<bool> readerRunning{false};
    std::atomic<bool> abandonReading{false};
    QuarvelModule fileModule;
    bool fileMode = false;
};

} // namespace AnalyzerProject
