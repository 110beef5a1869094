// The Quarvel interface: handler registration and walk, dispatch states, packet copies,
// filters, capture files, authentication records and bad input.
#include <gtest/gtest.h>
#include <pcap/pcap.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "allocation_failures.h"
#include "decoded_capture.h"

using namespace testsupport;

namespace {

const Bytes kUdpFrame = ethernet(kEtherIpv4, ipv4(17, udp(5060, 5060, textBytes("OPTIONS sip:a SIP/2.0\r\n"))));
const Bytes kTcpFrame = ethernet(kEtherIpv4, ipv4(6, tcp(80, 1234, textBytes("HTTP/1.1 200 OK\r\n"))));

// A capture file of `frames` and a module opened on it.
struct FileModule {
    TempPath file;
    Quarvel* module = nullptr;
    explicit FileModule(const std::vector<Bytes>& frames = {kUdpFrame, kTcpFrame, kUdpFrame})
    {
        {
            CaptureFileWriter writer(file.str());
            for (size_t i = 0; i < frames.size(); ++i)
                writer.add(frames[i], static_cast<uint32_t>(100 + i), 1);
        }
        EXPECT_EQ(QvrCreateQuarvel(file.source().c_str(), 0, nullptr, &module), QVR_OK);
    }
    ~FileModule()
    {
        if (module)
            QvrDeleteQuarvel(module);
    }
};

// Handlers that log their calls as "<tag><packet length>" and answer a fixed result.
struct CallLog {
    std::vector<std::string> calls;
};
template <char Tag, int32_t Result>
int32_t logging(QvrPacket* p, void* user)
{
    static_cast<CallLog*>(user)->calls.push_back(std::string(1, Tag) + std::to_string(p->length));
    return Result;
}
std::string L(char tag, const Bytes& frame) { return std::string(1, tag) + std::to_string(frame.size()); }

TEST(QuarvelHandlers, WalkInRegistrationOrderUntilOneAnswersOne)
{
    {
        FileModule f({kUdpFrame});
        CallLog log;
        QvrRegisterHandler(f.module, logging<'a', 0>, &log);
        QvrRegisterHandler(f.module, logging<'b', 2>, &log); // any result but 1 goes on
        QvrRegisterHandler(f.module, logging<'c', 1>, &log);
        QvrRegisterHandler(f.module, logging<'d', 0>, &log);
        ASSERT_EQ(QvrStartDispatchOfflinePacket(f.module), QVR_OK);
        EXPECT_EQ(log.calls, (std::vector<std::string>{L('a', kUdpFrame), L('b', kUdpFrame), L('c', kUdpFrame)}));
    }
    {
        FileModule f({kUdpFrame});
        CallLog log;
        QvrRegisterHandler(f.module, logging<'a', 0>, &log);
        QvrRegisterHandler(f.module, logging<'a', 0>, &log); // twice: called twice
        QvrStartDispatchOfflinePacket(f.module);
        EXPECT_EQ(log.calls.size(), 2u);
    }
}

TEST(QuarvelHandlers, UnregisterRemovesTheEarliestMatchingEntry)
{
    FileModule f({kUdpFrame});
    CallLog first, second;
    EXPECT_EQ(QvrUnregisterHandler(f.module, logging<'a', 0>), QVR_REFUSED); // empty list
    QvrRegisterHandler(f.module, logging<'a', 0>, &first);
    QvrRegisterHandler(f.module, logging<'b', 0>, &first);
    QvrRegisterHandler(f.module, logging<'a', 0>, &second);
    EXPECT_EQ(QvrUnregisterHandler(f.module, logging<'z', 0>), QVR_OK); // never registered
    EXPECT_EQ(QvrUnregisterHandler(f.module, logging<'a', 0>), QVR_OK);
    QvrStartDispatchOfflinePacket(f.module);
    EXPECT_EQ(first.calls, (std::vector<std::string>{L('b', kUdpFrame)}));
    EXPECT_EQ(second.calls, (std::vector<std::string>{L('a', kUdpFrame)}));
}

TEST(QuarvelHandlers, ListStaysWholeAfterRemovingItsLastEntry)
{
    FileModule f({kUdpFrame});
    CallLog log;
    QvrRegisterHandler(f.module, logging<'a', 0>, &log);
    QvrRegisterHandler(f.module, logging<'b', 0>, &log);
    QvrUnregisterHandler(f.module, logging<'b', 0>); // the tail
    QvrRegisterHandler(f.module, logging<'c', 0>, &log);
    QvrStartDispatchOfflinePacket(f.module);
    EXPECT_EQ(log.calls, (std::vector<std::string>{L('a', kUdpFrame), L('c', kUdpFrame)}));

    EXPECT_EQ(QvrCleanHandler(f.module), QVR_OK);
    EXPECT_EQ(QvrUnregisterHandler(f.module, logging<'a', 0>), QVR_REFUSED);
}

TEST(QuarvelDispatch, StatesAndRefusalsWhileDispatching)
{
    FileModule f;
    CallLog log;
    EXPECT_EQ(QvrStopDispatch(f.module), QVR_NOT_RUNNING);
    ASSERT_EQ(QvrStartDispatch(f.module), QVR_OK);
    EXPECT_EQ(QvrStartDispatch(f.module), QVR_ALREADY_RUNNING);
    EXPECT_EQ(QvrRegisterHandler(f.module, logging<'a', 0>, &log), QVR_BUSY);
    EXPECT_EQ(QvrUnregisterHandler(f.module, logging<'a', 0>), QVR_BUSY);
    EXPECT_EQ(QvrCleanHandler(f.module), QVR_BUSY);
    EXPECT_EQ(QvrSetFilter(f.module, "udp"), QVR_BUSY);
    EXPECT_EQ(QvrStopDispatch(f.module), QVR_OK);
    EXPECT_EQ(QvrStopDispatch(f.module), QVR_NOT_RUNNING);
    EXPECT_EQ(QvrRegisterHandler(f.module, logging<'a', 0>, &log), QVR_OK);
}

TEST(QuarvelDispatch, OfflineReadRunsEveryFrameOnTheCallingThread)
{
    FileModule f;
    struct Seen {
        std::vector<int32_t> seconds;
        std::vector<std::thread::id> threads;
    } seen;
    QvrRegisterHandler(
        f.module,
        [](QvrPacket* p, void* user) -> int32_t {
            auto* s = static_cast<Seen*>(user);
            s->seconds.push_back(p->ts_sec);
            s->threads.push_back(std::this_thread::get_id());
            return 0;
        },
        &seen);
    ASSERT_EQ(QvrStartDispatchOfflinePacket(f.module), QVR_OK);
    EXPECT_EQ(seen.seconds, (std::vector<int32_t>{100, 101, 102}));
    for (auto id : seen.threads)
        EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(QuarvelDispatch, StopEndsAnOfflineReadOnAnotherThreadEarly)
{
    const size_t frames = 200000;
    FileModule f(std::vector<Bytes>(frames, kUdpFrame));
    std::atomic<size_t> seen{0};
    QvrRegisterHandler(
        f.module,
        [](QvrPacket*, void* user) -> int32_t {
            ++*static_cast<std::atomic<size_t>*>(user);
            return 0;
        },
        &seen);
    std::thread reader([&] { EXPECT_EQ(QvrStartDispatchOfflinePacket(f.module), QVR_OK); });
    while (seen == 0)
        std::this_thread::yield();
    EXPECT_EQ(QvrStopDispatch(f.module), QVR_OK);
    reader.join();
    EXPECT_LT(seen.load(), frames);
    EXPECT_EQ(QvrStopDispatch(f.module), QVR_NOT_RUNNING); // the read is over
}

TEST(QuarvelPackets, DuplicateIsAnEqualPrivateCopy)
{
    FileModule f({kTcpFrame});
    struct Copies {
        QvrPacket* copy = nullptr;
        std::vector<NodeView> chain;
        std::vector<const void*> loanAddresses;
    } c;
    QvrRegisterHandler(
        f.module,
        [](QvrPacket* p, void* user) -> int32_t {
            auto* c = static_cast<Copies*>(user);
            EXPECT_EQ(QvrPacketDuplicate(&c->copy, p), QVR_OK);
            c->chain = chainOf(*p);
            c->loanAddresses = {p, p->data};
            for (HeaderNode* n = p->head; n; n = n->next)
                c->loanAddresses.push_back(n);
            return 0;
        },
        &c);
    QvrStartDispatchOfflinePacket(f.module);
    ASSERT_NE(c.copy, nullptr);
    EXPECT_EQ(Bytes(c.copy->data, c.copy->data + c.copy->length), kTcpFrame);
    EXPECT_EQ(c.copy->ts_sec, 100);
    EXPECT_EQ(c.copy->ts_usec, 1);
    EXPECT_EQ(chainOf(*c.copy), c.chain);
    EXPECT_EQ(c.copy->tail->kind, HN_TCP_DATA);
    EXPECT_EQ(c.copy->tail->next, nullptr);
    std::vector<const void*> copyAddresses = {c.copy, c.copy->data};
    for (HeaderNode* n = c.copy->head; n; n = n->next)
        copyAddresses.push_back(n);
    for (const void* a : copyAddresses)
        EXPECT_EQ(std::count(c.loanAddresses.begin(), c.loanAddresses.end(), a), 0);
    EXPECT_EQ(QvrDeletePacket(c.copy), QVR_OK);
}

TEST(QuarvelPackets, DuplicateRefusesEmptyRecordsAndFailsCleanly)
{
    uint8_t byte = 1;
    QvrPacket empty{1, 2, &byte, 0, nullptr, nullptr};
    QvrPacket* out = reinterpret_cast<QvrPacket*>(0x1);
    EXPECT_EQ(QvrPacketDuplicate(&out, &empty), QVR_INVALID_ARG);
    QvrPacket noData{1, 2, nullptr, 4, nullptr, nullptr};
    EXPECT_EQ(QvrPacketDuplicate(&out, &noData), QVR_INVALID_ARG);
    EXPECT_EQ(QvrPacketDuplicate(nullptr, &empty), QVR_INVALID_ARG);
    EXPECT_EQ(QvrPacketDuplicate(&out, nullptr), QVR_INVALID_ARG);
    EXPECT_EQ(QvrDeletePacket(nullptr), QVR_INVALID_ARG);

    QvrPacket bare{1, 2, &byte, 1, nullptr, nullptr}; // no chain at all
    quarvel::testing::failPacketCopies(1);
    EXPECT_EQ(QvrPacketDuplicate(&out, &bare), QVR_NO_MEMORY);
    EXPECT_EQ(out, reinterpret_cast<QvrPacket*>(0x1));
    ASSERT_EQ(QvrPacketDuplicate(&out, &bare), QVR_OK);
    EXPECT_EQ(out->head, nullptr);
    EXPECT_EQ(out->tail, nullptr);
    EXPECT_EQ(out->data[0], 1);
    EXPECT_EQ(QvrDeletePacket(out), QVR_OK);
}

TEST(QuarvelFilter, FailedExpressionKeepsThePreviousFilter)
{
    FileModule f;
    CallLog log;
    QvrRegisterHandler(f.module, logging<'a', 0>, &log);
    EXPECT_EQ(QvrSetFilter(f.module, "tcp"), QVR_OK);
    EXPECT_EQ(QvrSetFilter(f.module, "tcp and ((("), QVR_REFUSED);
    EXPECT_EQ(QvrSetFilter(f.module, nullptr), QVR_INVALID_ARG);
    QvrStartDispatchOfflinePacket(f.module);
    EXPECT_EQ(log.calls, (std::vector<std::string>{L('a', kTcpFrame)}));
}

std::vector<std::pair<pcap_pkthdr, Bytes>> readRecords(const std::string& path)
{
    char errbuf[PCAP_ERRBUF_SIZE];
    pcap_t* p = pcap_open_offline(path.c_str(), errbuf);
    EXPECT_NE(p, nullptr) << errbuf;
    std::vector<std::pair<pcap_pkthdr, Bytes>> records;
    if (!p)
        return records;
    pcap_pkthdr* h;
    const u_char* data;
    while (pcap_next_ex(p, &h, &data) == 1)
        records.push_back({*h, Bytes(data, data + h->caplen)});
    pcap_close(p);
    return records;
}

TEST(QuarvelDumpFile, WritesRecordsWithTheirTimeAndLength)
{
    FileModule f;
    TempPath first, second;
    uint8_t bytes[60];
    for (int i = 0; i < 60; ++i)
        bytes[i] = static_cast<uint8_t>(i);
    QvrPacket packet{1700000000, 123456, bytes, 60, nullptr, nullptr};

    EXPECT_EQ(QvrWriteDumpFile(f.module, &packet), QVR_REFUSED); // nothing open yet
    EXPECT_EQ(QvrCloseDumpFile(f.module), QVR_REFUSED);
    ASSERT_EQ(QvrOpenDumpFile(f.module, first.c_str()), QVR_OK);
    EXPECT_EQ(QvrWriteDumpFile(f.module, &packet), QVR_OK);
    ASSERT_EQ(QvrOpenDumpFile(f.module, second.c_str()), QVR_OK); // closes the first file
    packet.ts_sec += 1;
    EXPECT_EQ(QvrWriteDumpFile(f.module, &packet), QVR_OK);
    EXPECT_EQ(QvrWriteDumpFile(f.module, &packet), QVR_OK);
    EXPECT_EQ(QvrCloseDumpFile(f.module), QVR_OK);
    EXPECT_EQ(QvrOpenDumpFile(f.module, "/nonexistent-dir/x.pcap"), QVR_REFUSED);

    const auto a = readRecords(first.str());
    const auto b = readRecords(second.str());
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(a[0].first.caplen, 60u);
    EXPECT_EQ(a[0].first.len, 60u);
    EXPECT_EQ(a[0].first.ts.tv_sec, 1700000000);
    EXPECT_EQ(a[0].first.ts.tv_usec, 123456);
    EXPECT_EQ(a[0].second, Bytes(bytes, bytes + 60));
    EXPECT_EQ(b[1].first.ts.tv_sec, 1700000001);
}

TEST(QuarvelAuth, OnlyPasswordRecordsAreBuilt)
{
    pcap_rmtauth* auth = reinterpret_cast<pcap_rmtauth*>(0x1);
    EXPECT_EQ(QvrCreateAuthInfo(0, "u", "p", &auth), QVR_OK);
    EXPECT_EQ(auth, reinterpret_cast<pcap_rmtauth*>(0x1));
    std::string user = "operator", password = "secret";
    ASSERT_EQ(QvrCreateAuthInfo(RPCAP_RMTAUTH_PWD, user.c_str(), password.c_str(), &auth), QVR_OK);
    user[0] = password[0] = 'X'; // the record keeps its own copies
    EXPECT_EQ(auth->type, RPCAP_RMTAUTH_PWD);
    EXPECT_STREQ(auth->username, "operator");
    EXPECT_STREQ(auth->password, "secret");
    EXPECT_EQ(QvrDeleteAuthInfo(auth), QVR_OK);
    EXPECT_EQ(QvrCreateAuthInfo(RPCAP_RMTAUTH_PWD, nullptr, "p", &auth), QVR_REFUSED);
    EXPECT_EQ(QvrDeleteAuthInfo(nullptr), QVR_REFUSED);
}

TEST(QuarvelBadInput, EveryEntryAnswersWithItsStatus)
{
    Quarvel* m = nullptr;
    int32_t value = 0;
    uint8_t byte = 0;
    EXPECT_EQ(QvrCreateQuarvel(nullptr, 0, nullptr, &m), QVR_INVALID_ARG);
    EXPECT_EQ(QvrDeleteQuarvel(nullptr), QVR_INVALID_ARG);
    EXPECT_EQ(QvrRegisterHandler(nullptr, logging<'a', 0>, nullptr), QVR_INVALID_ARG);
    EXPECT_EQ(QvrUnregisterHandler(nullptr, logging<'a', 0>), QVR_INVALID_ARG);
    EXPECT_EQ(QvrCleanHandler(nullptr), QVR_INVALID_ARG);
    EXPECT_EQ(QvrStartDispatch(nullptr), QVR_INVALID_ARG);
    EXPECT_EQ(QvrStopDispatch(nullptr), QVR_INVALID_ARG);
    EXPECT_EQ(QvrStartDispatchOfflinePacket(nullptr), QVR_INVALID_ARG);
    EXPECT_EQ(QvrSetFilter(nullptr, "udp"), QVR_INVALID_ARG);
    EXPECT_EQ(QvrSendPacket(nullptr, &byte, 1), QVR_INVALID_ARG);
    EXPECT_EQ(QvrGetLinkType(nullptr, &value), QVR_INVALID_ARG);
    EXPECT_EQ(QvrGetPacketMissCount(nullptr, &value), QVR_INVALID_ARG);
    EXPECT_EQ(QvrOpenDumpFile(nullptr, "/tmp/x"), QVR_INVALID_ARG);
    EXPECT_EQ(QvrWriteDumpFile(nullptr, nullptr), QVR_INVALID_ARG);
    EXPECT_EQ(QvrCloseDumpFile(nullptr), QVR_INVALID_ARG);
    EXPECT_EQ(QvrGetAllNIC(nullptr), QVR_INVALID_ARG);
    EXPECT_EQ(QvrFreeAllNIC(nullptr), QVR_INVALID_ARG);
    EXPECT_EQ(QvrGetRemoteAllNIC(nullptr, "2002", nullptr, nullptr), QVR_INVALID_ARG);

    FileModule f;
    EXPECT_EQ(QvrRegisterHandler(f.module, nullptr, nullptr), QVR_INVALID_ARG);
    EXPECT_EQ(QvrSendPacket(f.module, nullptr, 1), QVR_INVALID_ARG);
    EXPECT_EQ(QvrSendPacket(f.module, &byte, 0), QVR_INVALID_ARG);
    EXPECT_EQ(QvrGetLinkType(f.module, nullptr), QVR_INVALID_ARG);
    EXPECT_EQ(QvrGetPacketMissCount(f.module, nullptr), QVR_INVALID_ARG);
    EXPECT_EQ(QvrOpenDumpFile(f.module, nullptr), QVR_INVALID_ARG);
    EXPECT_EQ(QvrWriteDumpFile(f.module, nullptr), QVR_INVALID_ARG);
    EXPECT_EQ(QvrSendPacket(f.module, kUdpFrame.data(), static_cast<uint32_t>(kUdpFrame.size())), QVR_REFUSED);
    EXPECT_EQ(QvrGetLinkType(f.module, &value), QVR_OK);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(QvrGetPacketMissCount(f.module, &value), QVR_OK);
    EXPECT_EQ(value, 0);
}

TEST(QuarvelBadInput, CaptureFilesThatCannotBeReadWhole)
{
    Quarvel* m = nullptr;
    EXPECT_EQ(QvrCreateQuarvel("file:///nonexistent/none.pcap", 0, nullptr, &m), QVR_REFUSED);
    EXPECT_EQ(QvrCreateQuarvel("no-such-interface0", 0, nullptr, &m), QVR_REFUSED);
    EXPECT_EQ(m, nullptr);

    TempPath text;
    std::ofstream(text.str()) << "this is not a capture file, just some text\n";
    EXPECT_EQ(QvrCreateQuarvel(text.source().c_str(), 0, nullptr, &m), QVR_REFUSED);

    TempPath headerOnly;
    std::ofstream(headerOnly.str(), std::ios::binary).write("\xd4\xc3\xb2\xa1\x02\x00", 6);
    EXPECT_EQ(QvrCreateQuarvel(headerOnly.source().c_str(), 0, nullptr, &m), QVR_REFUSED);

    // Two whole records, then one cut off in its frame: the whole ones arrive.
    TempPath truncated;
    {
        CaptureFileWriter writer(truncated.str());
        writer.add(kUdpFrame);
        writer.add(kTcpFrame);
        const uint32_t header[4] = {1, 2, 100, 100};
        writer.raw(Bytes(reinterpret_cast<const uint8_t*>(header), reinterpret_cast<const uint8_t*>(header) + 16));
        writer.raw(filler(30));
    }
    ASSERT_EQ(QvrCreateQuarvel(truncated.source().c_str(), 0, nullptr, &m), QVR_OK);
    CallLog log;
    QvrRegisterHandler(m, logging<'a', 0>, &log);
    EXPECT_EQ(QvrStartDispatchOfflinePacket(m), QVR_OK);
    EXPECT_EQ(log.calls, (std::vector<std::string>{L('a', kUdpFrame), L('a', kTcpFrame)}));
    QvrDeleteQuarvel(m);
}

} // namespace
