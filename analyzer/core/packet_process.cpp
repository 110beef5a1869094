#include "packet_process.h"

#include <algorithm>
#include <chrono>
#include <system_error>

namespace AnalyzerProject {

CPacketCapture::~CPacketCapture()
{
    EndFileReader();
    fileModule.reset();
    modules.clear(); // deleting a module stops its capture thread first
    ClearPackets();
    auths.clear();
}

void CPacketCapture::AddInterface(const std::string& name, pcap_rmtauth* auth)
{
    names.push_back(name);
    filters.emplace_back();
    auths.emplace_back(auth);
    confs.emplace_back();
}

bool CPacketCapture::HasInterface(const std::string& name) const
{
    for (const std::string& n : names)
        if (n == name)
            return true;
    return false;
}

std::string CPacketCapture::InterfaceName(int i) const
{
    return i >= 0 && i < InterfaceCount() ? names[i] : std::string();
}

void CPacketCapture::SetLock(std::mutex* lock)
{
    if (lock)
        storeLock = lock;
}

QuarvelModule CPacketCapture::CreateModule(int i) const
{
    QuarvelModule m = OpenModule(names[i].c_str(), confs[i].promiscuous, auths[i].get());
    if (m && QvrRegisterHandler(m.get(), StorePacket, const_cast<CPacketCapture*>(this)) != QVR_OK)
        m.reset();
    return m;
}

bool CPacketCapture::Open(const char* fileName, const char* filter)
{
    EndFileReader();
    fileModule.reset();
    if (!fileName) {
        if (names.empty())
            return false;
        std::vector<QuarvelModule> opened;
        for (int i = 0; i < InterfaceCount(); ++i) {
            opened.push_back(CreateModule(i));
            if (!opened.back())
                return false; // the modules opened so far go with `opened`
        }
        modules = std::move(opened);
        return true;
    }

    fileMode = true;
    const std::string source = std::string("file://") + fileName;
    QuarvelModule m = OpenModule(source.c_str(), 0, nullptr);
    if (!m)
        return false;
    if (filter && QvrSetFilter(m.get(), filter) != QVR_OK)
        return false;
    if (QvrRegisterHandler(m.get(), StorePacket, this) != QVR_OK)
        return false;
    fileModule = std::move(m);
    abandonReading = false;
    readerRunning = true;
    try {
        readerThread = std::thread([this] {
            QvrStartDispatchOfflinePacket(fileModule.get());
            StoreReaderBatch();
            readerRunning.store(false, std::memory_order_release);
        });
    } catch (const std::system_error&) {
        readerRunning = false;
        fileModule.reset();
        return false;
    }
    return true;
}

// Ends the file reader early: stored copies stop at once, and the module's read loop is
// interrupted after the frame in progress. Nothing of the session is freed before the
// thread has ended.
void CPacketCapture::EndFileReader()
{
    if (!readerThread.joinable())
        return;
    abandonReading.store(true, std::memory_order_release);
    while (readerRunning.load(std::memory_order_acquire)) {
        QvrStopDispatch(fileModule.get());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    readerThread.join();
}

void CPacketCapture::StartCapture(bool keepPackets)
{
    if (!keepPackets)
        ClearPackets();
    for (QuarvelModule& m : modules)
        if (m)
            QvrStartDispatch(m.get());
}

void CPacketCapture::StopCapture()
{
    for (QuarvelModule& m : modules)
        if (m)
            QvrStopDispatch(m.get());
}

bool CPacketCapture::SetInterfaceFilter(int i, const std::string& expression)
{
    if (i < 0 || i >= static_cast<int>(modules.size()))
        return fileMode;
    modules[i].reset();
    modules[i] = CreateModule(i);
    if (!modules[i] || QvrSetFilter(modules[i].get(), expression.c_str()) != QVR_OK)
        return false;
    filters[i] = expression;
    return true;
}

void CPacketCapture::GetInterfaceFilter(int i, std::string& out) const
{
    if (i >= 0 && i < static_cast<int>(modules.size()))
        out = filters[i];
}

bool CPacketCapture::SetInterfacePromiscuous(int i, int32_t flag)
{
    if (i < 0 || i >= static_cast<int>(modules.size()))
        return false;
    confs[i].promiscuous = flag;
    modules[i].reset();
    modules[i] = CreateModule(i);
    if (modules[i])
        QvrSetFilter(modules[i].get(), filters[i].c_str());
    return true;
}

bool CPacketCapture::GetInterfaceConf(int i, PacketCaptureConf& out) const
{
    if (i < 0 || i >= static_cast<int>(modules.size()))
        return false;
    out = confs[i];
    return true;
}

void CPacketCapture::GetConfs(std::vector<PacketCaptureConf>& out) const { out = confs; }

uint32_t CPacketCapture::PacketCount() const
{
    std::lock_guard guard(Lock());
    return static_cast<uint32_t>(packets.size());
}

QvrPacket* CPacketCapture::GetPacket(uint32_t n) const
{
    std::lock_guard guard(Lock());
    return n < packets.size() ? packets[n] : nullptr;
}

uint32_t CPacketCapture::GetPackets(uint32_t first, uint32_t count, QvrPacket** out) const
{
    std::lock_guard guard(Lock());
    if (first >= packets.size())
        return 0;
    const uint32_t n = std::min<uint32_t>(count, static_cast<uint32_t>(packets.size()) - first);
    std::copy_n(packets.begin() + first, n, out);
    return n;
}

QvrPacket* CPacketCapture::GetPacketFrom(uint32_t n, PacketCursor& cursor, uint32_t cursorIndex) const
{
    std::lock_guard guard(Lock());
    if (n < cursorIndex || n >= packets.size())
        return nullptr;
    cursor.index = n;
    return packets[n];
}

bool CPacketCapture::SavePackets(const char* fileName, const std::vector<QvrPacket*>* selection) const
{
    if (!fileName)
        return false;
    Quarvel* m = fileMode ? fileModule.get() : (modules.empty() ? nullptr : modules.front().get());
    if (!m || QvrOpenDumpFile(m, fileName) != QVR_OK)
        return false;
    if (selection) {
        for (QvrPacket* p : *selection)
            QvrWriteDumpFile(m, p);
    } else {
        std::lock_guard guard(Lock());
        for (QvrPacket* p : packets)
            QvrWriteDumpFile(m, p);
    }
    QvrCloseDumpFile(m);
    return true;
}

void CPacketCapture::ClearPackets()
{
    std::deque<QvrPacket*> released;
    {
        std::lock_guard guard(Lock());
        released.swap(packets);
    }
    for (QvrPacket* p : released)
        QvrDeletePacket(p);
}

int32_t CPacketCapture::MissCount() const
{
    int32_t total = 0, count = 0;
    if (fileModule && QvrGetPacketMissCount(fileModule.get(), &count) == QVR_OK)
        total += count;
    for (const QuarvelModule& m : modules)
        if (m && QvrGetPacketMissCount(m.get(), &count) == QVR_OK)
            total += count;
    return total;
}

void CPacketCapture::StoreReaderBatch()
{
    if (abandonReading.load(std::memory_order_relaxed)) {
        for (QvrPacket* p : readerBatch)
            QvrDeletePacket(p);
    } else {
        std::lock_guard guard(Lock());
        packets.insert(packets.end(), readerBatch.begin(), readerBatch.end());
    }
    readerBatch.clear();
}

int32_t CPacketCapture::StorePacket(QvrPacket* packet, void* user)
{
    auto* session = static_cast<CPacketCapture*>(user);
    if (session->abandonReading.load(std::memory_order_relaxed))
        return 0;
    QvrPacket* copy = nullptr;
    if (QvrPacketDuplicate(&copy, packet) != QVR_OK)
        return 0; // dropped: nothing to store
    if (session->fileMode) { // the file reader: a batch at a time
        session->readerBatch.push_back(copy);
        if (session->readerBatch.size() >= kReaderBatch)
            session->StoreReaderBatch();
        return 0;
    }
    std::lock_guard guard(session->Lock());
    session->packets.push_back(copy);
    return 0;
}

} // namespace AnalyzerProject
