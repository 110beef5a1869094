// The Tessomat interface on capture files: the handler walk, dispatch states, filters,
// capture file writing, authentication records and bad input.
#include <gtest/gtest.h>
#include <pcap/pcap.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "capture_file.h"
#include "tessomat.h"

using namespace testsupport;

namespace {

const Bytes kUdp = udpFrame({10, 0, 0, 1}, 5060, {10, 0, 0, 2}, 5060, textBytes("INVITE sip:b SIP/2.0\r\n"));
const Bytes kTcp = tcpFrame({10, 0, 0, 1}, 80, {10, 0, 0, 2}, 3000, textBytes("GET / HTTP/1.1\r\n"));
const Bytes kArp = ethernet(kEtherArp, arpRequest({10, 0, 0, 1}, {10, 0, 0, 9}));

struct Frame {
    char handler;
    int32_t sec, usec;
    uint32_t length;
    std::thread::id thread;
};

struct Recorder {
    std::mutex lock;
    std::vector<Frame> frames;
    size_t size()
    {
        std::lock_guard g(lock);
        return frames.size();
    }
};

template <char Tag, int32_t Result>
int32_t record(const TsmTime* t, const uint32_t* length, const uint8_t*, void* user)
{
    auto* r = static_cast<Recorder*>(user);
    std::lock_guard g(r->lock);
    r->frames.push_back({Tag, t->sec, t->usec, *length, std::this_thread::get_id()});
    return Result;
}

struct FileSource {
    TempPath file;
    Tessomat* module = nullptr;
    explicit FileSource(const std::vector<Bytes>& frames = {kUdp, kTcp, kArp})
    {
        {
            CaptureFileWriter writer(file.str());
            for (size_t i = 0; i < frames.size(); ++i)
                writer.add(frames[i], static_cast<uint32_t>(10 + i), static_cast<uint32_t>(i));
        }
        EXPECT_EQ(TsmCreateTessomat(file.source().c_str(), 0, nullptr, &module), TSM_OK);
    }
    ~FileSource()
    {
        if (module)
            TsmDeleteTessomat(module);
    }
};

TEST(TessomatOffline, EveryHandlerSeesEveryFrameInFileOrderOnTheCallingThread)
{
    FileSource s;
    Recorder r;
    TsmRegisterHandler(s.module, record<'a', 0>, &r);
    TsmRegisterHandler(s.module, record<'b', 0>, &r);
    ASSERT_EQ(TsmStartDispatchOfflinePacket(s.module), TSM_OK);
    ASSERT_EQ(r.frames.size(), 6u);
    const Bytes* expected[] = {&kUdp, &kTcp, &kArp};
    for (size_t i = 0; i < 6; ++i) {
        const Frame& f = r.frames[i];
        EXPECT_EQ(f.handler, i % 2 ? 'b' : 'a');
        EXPECT_EQ(f.sec, static_cast<int32_t>(10 + i / 2));
        EXPECT_EQ(f.usec, static_cast<int32_t>(i / 2));
        EXPECT_EQ(f.length, expected[i / 2]->size());
        EXPECT_EQ(f.thread, std::this_thread::get_id());
    }
    int32_t linkType = 0;
    EXPECT_EQ(TsmGetLinkType(s.module, &linkType), TSM_OK);
    EXPECT_EQ(linkType, DLT_EN10MB);
}

TEST(TessomatOffline, HandlerAnsweringOneEndsTheWalk)
{
    FileSource s({kUdp});
    Recorder r;
    TsmRegisterHandler(s.module, record<'a', 1>, &r);
    TsmRegisterHandler(s.module, record<'b', 0>, &r);
    TsmStartDispatchOfflinePacket(s.module);
    ASSERT_EQ(r.frames.size(), 1u);
    EXPECT_EQ(r.frames[0].handler, 'a');
}

TEST(TessomatHandlers, RegistrationRules)
{
    FileSource s({kUdp});
    Recorder r;
    EXPECT_EQ(TsmUnregisterHandler(s.module, record<'a', 0>), TSM_REFUSED);
    TsmRegisterHandler(s.module, record<'a', 0>, &r);
    TsmRegisterHandler(s.module, record<'b', 0>, &r);
    TsmRegisterHandler(s.module, record<'a', 0>, &r);
    EXPECT_EQ(TsmUnregisterHandler(s.module, record<'z', 0>), TSM_OK);
    EXPECT_EQ(TsmUnregisterHandler(s.module, record<'a', 0>), TSM_OK); // the earlier one
    EXPECT_EQ(TsmUnregisterHandler(s.module, record<'a', 0>), TSM_OK); // the tail
    TsmRegisterHandler(s.module, record<'c', 0>, &r);
    TsmStartDispatchOfflinePacket(s.module);
    ASSERT_EQ(r.frames.size(), 2u);
    EXPECT_EQ(r.frames[0].handler, 'b');
    EXPECT_EQ(r.frames[1].handler, 'c');
    EXPECT_EQ(TsmCleanHandler(s.module), TSM_OK);
    EXPECT_EQ(TsmUnregisterHandler(s.module, record<'b', 0>), TSM_REFUSED);
}

TEST(TessomatDispatch, CaptureThreadDeliversAndStopsOnRequest)
{
    FileSource s;
    Recorder r;
    TsmRegisterHandler(s.module, record<'a', 0>, &r);
    EXPECT_EQ(TsmStopDispatch(s.module), TSM_NOT_RUNNING);
    ASSERT_EQ(TsmStartDispatch(s.module), TSM_OK);
    EXPECT_EQ(TsmStartDispatch(s.module), TSM_ALREADY_RUNNING);
    EXPECT_EQ(TsmStartDispatchOfflinePacket(s.module), TSM_ALREADY_RUNNING);
    EXPECT_EQ(TsmRegisterHandler(s.module, record<'b', 0>, &r), TSM_BUSY);
    EXPECT_EQ(TsmUnregisterHandler(s.module, record<'a', 0>), TSM_BUSY);
    EXPECT_EQ(TsmCleanHandler(s.module), TSM_BUSY);
    EXPECT_EQ(TsmSetFilter(s.module, "udp"), TSM_BUSY);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (r.size() < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(TsmStopDispatch(s.module), TSM_OK);
    ASSERT_EQ(r.frames.size(), 3u);
    EXPECT_NE(r.frames[0].thread, std::this_thread::get_id());
    EXPECT_EQ(TsmStopDispatch(s.module), TSM_NOT_RUNNING);
    EXPECT_EQ(TsmRegisterHandler(s.module, record<'b', 0>, &r), TSM_OK);
}

TEST(TessomatFilter, ExpressionThatDoesNotCompileKeepsThePreviousFilter)
{
    FileSource s;
    Recorder r;
    TsmRegisterHandler(s.module, record<'a', 0>, &r);
    EXPECT_EQ(TsmSetFilter(s.module, "udp port 5060"), TSM_OK);
    EXPECT_EQ(TsmSetFilter(s.module, "udp port"), TSM_BAD_FILTER);
    EXPECT_EQ(TsmSetFilter(s.module, nullptr), TSM_INVALID_ARG);
    TsmStartDispatchOfflinePacket(s.module);
    ASSERT_EQ(r.frames.size(), 1u);
    EXPECT_EQ(r.frames[0].length, kUdp.size());
}

TEST(TessomatDumpFile, RecordsReadBackWithBothLengthsAndTheirTime)
{
    FileSource s;
    TempPath first, second;
    const Bytes frame = filler(60, 0x42);
    EXPECT_EQ(TsmWriteDumpFile(s.module, 1, 2, 60, frame.data()), TSM_REFUSED);
    EXPECT_EQ(TsmCloseDumpFile(s.module), TSM_REFUSED);
    ASSERT_EQ(TsmOpenDumpFile(s.module, first.c_str()), TSM_OK);
    EXPECT_EQ(TsmWriteDumpFile(s.module, 1234, 5678, 60, frame.data()), TSM_OK);
    EXPECT_EQ(TsmWriteDumpFile(s.module, 1, 2, 60, nullptr), TSM_REFUSED);
    ASSERT_EQ(TsmOpenDumpFile(s.module, second.c_str()), TSM_OK); // closes the first
    EXPECT_EQ(TsmCloseDumpFile(s.module), TSM_OK);

    char errbuf[PCAP_ERRBUF_SIZE];
    pcap_t* p = pcap_open_offline(first.c_str(), errbuf);
    ASSERT_NE(p, nullptr) << errbuf;
    EXPECT_EQ(pcap_datalink(p), DLT_EN10MB);
    EXPECT_EQ(pcap_snapshot(p), 65535);
    pcap_pkthdr* h;
    const u_char* data;
    ASSERT_EQ(pcap_next_ex(p, &h, &data), 1);
    EXPECT_EQ(h->caplen, 60u);
    EXPECT_EQ(h->len, 60u);
    EXPECT_EQ(h->ts.tv_sec, 1234);
    EXPECT_EQ(h->ts.tv_usec, 5678);
    EXPECT_EQ(Bytes(data, data + 60), frame);
    EXPECT_NE(pcap_next_ex(p, &h, &data), 1);
    pcap_close(p);
}

TEST(TessomatAuth, RecordsOfTypeOneOnly)
{
    pcap_rmtauth* auth = reinterpret_cast<pcap_rmtauth*>(0x1);
    EXPECT_EQ(TsmCreateAuthInfo(0, "u", "p", &auth), TSM_OK);
    EXPECT_EQ(auth, reinterpret_cast<pcap_rmtauth*>(0x1));
    EXPECT_EQ(TsmCreateAuthInfo(1, nullptr, "p", &auth), TSM_INVALID_ARG);
    EXPECT_EQ(TsmCreateAuthInfo(1, "u", nullptr, &auth), TSM_INVALID_ARG);
    EXPECT_EQ(TsmCreateAuthInfo(1, "u", "p", nullptr), TSM_INVALID_ARG);
    ASSERT_EQ(TsmCreateAuthInfo(1, "user", "pass", &auth), TSM_OK);
    EXPECT_STREQ(auth->username, "user");
    EXPECT_STREQ(auth->password, "pass");
    EXPECT_EQ(TsmDeleteAuthInfo(auth), TSM_OK);
    EXPECT_EQ(TsmDeleteAuthInfo(nullptr), TSM_INVALID_ARG);
}

TEST(TessomatBadInput, NullArgumentsAndUnreadableSources)
{
    Tessomat* m = nullptr;
    int32_t linkType;
    pcap_if* list = nullptr;
    const uint8_t byte = 0;
    EXPECT_EQ(TsmCreateTessomat(nullptr, 0, nullptr, &m), TSM_INVALID_ARG);
    EXPECT_EQ(TsmCreateTessomat("file:///no/such/file.pcap", 0, nullptr, &m), TSM_REFUSED);
    EXPECT_EQ(TsmDeleteTessomat(nullptr), TSM_INVALID_ARG);
    EXPECT_EQ(TsmRegisterHandler(nullptr, record<'a', 0>, nullptr), TSM_INVALID_ARG);
    EXPECT_EQ(TsmUnregisterHandler(nullptr, record<'a', 0>), TSM_INVALID_ARG);
    EXPECT_EQ(TsmCleanHandler(nullptr), TSM_INVALID_ARG);
    EXPECT_EQ(TsmStartDispatch(nullptr), TSM_INVALID_ARG);
    EXPECT_EQ(TsmStopDispatch(nullptr), TSM_INVALID_ARG);
    EXPECT_EQ(TsmStartDispatchOfflinePacket(nullptr), TSM_INVALID_ARG);
    EXPECT_EQ(TsmSetFilter(nullptr, ""), TSM_INVALID_ARG);
    EXPECT_EQ(TsmSendPacket(nullptr, &byte, 1), TSM_INVALID_ARG);
    EXPECT_EQ(TsmGetLinkType(nullptr, &linkType), TSM_INVALID_ARG);
    EXPECT_EQ(TsmOpenDumpFile(nullptr, "/tmp/x"), TSM_INVALID_ARG);
    EXPECT_EQ(TsmWriteDumpFile(nullptr, 0, 0, 1, &byte), TSM_INVALID_ARG);
    EXPECT_EQ(TsmCloseDumpFile(nullptr), TSM_INVALID_ARG);
    EXPECT_EQ(TsmGetAllNIC(nullptr), TSM_INVALID_ARG);
    EXPECT_EQ(TsmFreeAllNIC(nullptr), TSM_INVALID_ARG);
    EXPECT_EQ(TsmGetRemoteAllNIC(nullptr, "2002", nullptr, &list), TSM_INVALID_ARG);

    FileSource s;
    EXPECT_EQ(TsmRegisterHandler(s.module, nullptr, nullptr), TSM_INVALID_ARG);
    EXPECT_EQ(TsmSendPacket(s.module, nullptr, 1), TSM_INVALID_ARG);
    EXPECT_EQ(TsmSendPacket(s.module, &byte, 0), TSM_INVALID_ARG);
    EXPECT_EQ(TsmSendPacket(s.module, &byte, -5), TSM_INVALID_ARG);
    EXPECT_EQ(TsmGetLinkType(s.module, nullptr), TSM_INVALID_ARG);
    EXPECT_EQ(TsmOpenDumpFile(s.module, nullptr), TSM_INVALID_ARG);
}

TEST(TessomatDevices, LocalListNamesLoopback)
{
    pcap_if* list = nullptr;
    ASSERT_EQ(TsmGetAllNIC(&list), TSM_OK);
    bool loopback = false;
    for (pcap_if* d = list; d; d = d->next)
        loopback |= std::string(d->name) == "lo";
    EXPECT_TRUE(loopback);
    EXPECT_EQ(TsmFreeAllNIC(list), TSM_OK);
}

} // namespace
