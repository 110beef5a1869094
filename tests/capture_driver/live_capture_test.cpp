// Live capture on lo through both interfaces: real datagrams reach the handlers on the
// capture thread, decoded down to their UDP payload; a stop or a delete of a running module
// returns promptly and no handler runs after it; calls refused while capturing; frames
// sent through a module; a device that does not exist.
#include <gtest/gtest.h>
#include <pcap/pcap.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "frame_builder.h"
#include "loopback_net.h"
#include "quarvel.h"
#include "tessomat.h"

using namespace testsupport;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kArrivalLimit = 5s;
constexpr auto kEndLimit = 1500ms; // a stop wakes the waiting read at once
constexpr auto kQuietPeriod = 300ms;
constexpr int kDatagrams = 20;

Bytes numberedPayload(int i)
{
    return textBytes("corvane live datagram " + std::to_string(i));
}

std::vector<Bytes> numberedPayloads(int count)
{
    std::vector<Bytes> payloads;
    for (int i = 0; i < count; ++i)
        payloads.push_back(numberedPayload(i));
    return payloads;
}

long long millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::string filterFor(uint16_t port)
{
    return "udp and dst port " + std::to_string(port);
}

// The UDP payload of an Ethernet/IPv4/UDP frame read byte by byte, or nothing.
bool udpPayloadOfFrame(const Bytes& frame, Bytes& payload)
{
    if (frame.size() < 14 + 20 + 8 || frame[12] != 0x08 || frame[13] != 0x00 || frame[14] >> 4 != 4)
        return false;
    const size_t udpAt = 14 + static_cast<size_t>(frame[14] & 0x0F) * 4;
    if (frame[14 + 9] != 17 || frame.size() < udpAt + 8)
        return false;
    const size_t udpLength = static_cast<size_t>(frame[udpAt + 4] << 8 | frame[udpAt + 5]);
    if (udpLength < 8 || frame.size() < udpAt + udpLength)
        return false;
    payload.assign(frame.begin() + static_cast<long>(udpAt + 8), frame.begin() + static_cast<long>(udpAt + udpLength));
    return true;
}

struct PacketDeleter {
    void operator()(QvrPacket* p) const { QvrDeletePacket(p); }
};
using PacketCopy = std::unique_ptr<QvrPacket, PacketDeleter>;

// One module on lo that keeps what its handler is given, of either interface.
class LiveModule {
public:
    virtual ~LiveModule() = default;
    virtual bool opened() const = 0;
    virtual int32_t start() = 0;
    virtual int32_t stop() = 0;
    virtual void remove() = 0; // deletes the module, running or not
    // The UDP payloads delivered so far, in delivery order; a delivered record that is not
    // one of our datagrams decoded as expected is a test failure.
    virtual std::vector<Bytes> payloads() = 0;

    size_t count()
    {
        std::lock_guard guard(lock_);
        return threads_.size();
    }
    std::vector<std::thread::id> threads()
    {
        std::lock_guard guard(lock_);
        return threads_;
    }
    // From now on every handler call is counted as a late one.
    void markEnded() { ended_ = true; }
    int lateCalls() const { return lateCalls_; }

protected:
    void entered()
    {
        if (ended_)
            ++lateCalls_;
    }

    std::mutex lock_;
    std::vector<std::thread::id> threads_;

private:
    std::atomic<bool> ended_{false};
    std::atomic<int> lateCalls_{0};
};

class QuarvelOnLo : public LiveModule {
public:
    explicit QuarvelOnLo(uint16_t port)
    {
        if (QvrCreateQuarvel("lo", 0, nullptr, &module_) != QVR_OK)
            return;
        EXPECT_EQ(QvrSetFilter(module_, filterFor(port).c_str()), QVR_OK);
        EXPECT_EQ(QvrRegisterHandler(module_, keep, this), QVR_OK);
        int32_t linkType = -1;
        EXPECT_EQ(QvrGetLinkType(module_, &linkType), QVR_OK);
        EXPECT_EQ(linkType, DLT_EN10MB); // lo has an Ethernet link type on Linux
    }
    ~QuarvelOnLo() override { remove(); }

    bool opened() const override { return module_ != nullptr; }
    int32_t start() override { return QvrStartDispatch(module_); }
    int32_t stop() override { return QvrStopDispatch(module_); }
    void remove() override
    {
        if (module_) {
            EXPECT_EQ(QvrDeleteQuarvel(module_), QVR_OK);
        }
        module_ = nullptr;
    }

    std::vector<Bytes> payloads() override
    {
        std::lock_guard guard(lock_);
        std::vector<Bytes> result;
        const std::vector<int32_t> expectedChain{HN_ETHERNET, HN_IPV4, HN_UDP, HN_UDP_DATA};
        for (const PacketCopy& copy : copies_) {
            std::vector<int32_t> chain;
            const HeaderNode* data = nullptr;
            for (const HeaderNode* n = copy->head; n; n = n->next) {
                chain.push_back(n->kind);
                if (n->kind == HN_UDP_DATA)
                    data = n;
            }
            EXPECT_EQ(chain, expectedChain);
            if (!data || data->offset + data->length > copy->length) {
                ADD_FAILURE() << "a delivered packet has no UDP payload node inside its frame";
                continue;
            }
            result.emplace_back(copy->data + data->offset, copy->data + data->offset + data->length);
        }
        return result;
    }

private:
    static int32_t keep(QvrPacket* packet, void* user)
    {
        auto* self = static_cast<QuarvelOnLo*>(user);
        self->entered();
        QvrPacket* copy = nullptr;
        const int32_t status = QvrPacketDuplicate(&copy, packet);
        std::lock_guard guard(self->lock_);
        self->threads_.push_back(std::this_thread::get_id());
        if (status == QVR_OK)
            self->copies_.emplace_back(copy);
        return 0;
    }

    Quarvel* module_ = nullptr;
    std::vector<PacketCopy> copies_;
};

class TessomatOnLo : public LiveModule {
public:
    explicit TessomatOnLo(uint16_t port)
    {
        if (TsmCreateTessomat("lo", 0, nullptr, &module_) != TSM_OK)
            return;
        EXPECT_EQ(TsmSetFilter(module_, filterFor(port).c_str()), TSM_OK);
        EXPECT_EQ(TsmRegisterHandler(module_, keep, this), TSM_OK);
    }
    ~TessomatOnLo() override { remove(); }

    bool opened() const override { return module_ != nullptr; }
    int32_t start() override { return TsmStartDispatch(module_); }
    int32_t stop() override { return TsmStopDispatch(module_); }
    void remove() override
    {
        if (module_) {
            EXPECT_EQ(TsmDeleteTessomat(module_), TSM_OK);
        }
        module_ = nullptr;
    }

    std::vector<Bytes> frames()
    {
        std::lock_guard guard(lock_);
        return frames_;
    }

    std::vector<Bytes> payloads() override
    {
        std::vector<Bytes> result;
        for (const Bytes& frame : frames()) {
            Bytes payload;
            if (udpPayloadOfFrame(frame, payload))
                result.push_back(payload);
            else
                ADD_FAILURE() << "a delivered frame of " << frame.size() << " bytes is no IPv4/UDP frame";
        }
        return result;
    }

private:
    static int32_t keep(const TsmTime*, const uint32_t* length, const uint8_t* frame, void* user)
    {
        auto* self = static_cast<TessomatOnLo*>(user);
        self->entered();
        std::lock_guard guard(self->lock_);
        self->threads_.push_back(std::this_thread::get_id());
        self->frames_.emplace_back(frame, frame + *length);
        return 0;
    }

    Tessomat* module_ = nullptr;
    std::vector<Bytes> frames_;
};

std::unique_ptr<LiveModule> openOnLo(bool quarvel, uint16_t port)
{
    if (quarvel)
        return std::make_unique<QuarvelOnLo>(port);
    return std::make_unique<TessomatOnLo>(port);
}

// Sends the numbered datagrams and waits until the module has delivered `total` records.
void sendAndAwait(LiveModule& live, UdpSender& sender, uint16_t port, int first, int count, size_t total)
{
    for (int i = first; i < first + count; ++i)
        ASSERT_TRUE(sender.send(port, numberedPayload(i)));
    EXPECT_TRUE(waitUntil([&] { return live.count() >= total; }, kArrivalLimit))
        << live.count() << " of " << total << " datagrams arrived within " << kArrivalLimit.count() << " s";
}

// ---------------------------------------------------------------------------------------

struct EndCase {
    const char* name;
    bool quarvel;      // else the Tessomat interface
    bool deleteModule; // end by deleting the running module, else by stopping it
};

class LiveCaptureEnd : public testing::TestWithParam<EndCase> {};

TEST_P(LiveCaptureEnd, DeliversEveryDatagramOnTheCaptureThreadThenEndsPromptlyAndForGood)
{
    const EndCase& c = GetParam();
    UdpSink sink;
    UdpSender sender;
    ASSERT_NE(sink.port(), 0);
    auto live = openOnLo(c.quarvel, sink.port());
    ASSERT_TRUE(live->opened()) << "cannot capture on lo (root or CAP_NET_RAW needed)";
    ASSERT_EQ(live->start(), 0);

    sendAndAwait(*live, sender, sink.port(), 0, kDatagrams, kDatagrams);
    EXPECT_EQ(live->payloads(), numberedPayloads(kDatagrams)); // all, once each, in order
    for (const std::thread::id& thread : live->threads())
        EXPECT_NE(thread, std::this_thread::get_id());

    const auto endStart = Clock::now();
    if (c.deleteModule)
        live->remove();
    else
        EXPECT_EQ(live->stop(), 0);
    const auto endTook = millisecondsSince(endStart);
    live->markEnded();
    std::printf("[ measured ] %s returned after %lld ms\n", c.name, endTook);
    EXPECT_LT(endTook, std::chrono::milliseconds(kEndLimit).count());

    const auto quietStart = Clock::now();
    for (int i = kDatagrams; Clock::now() - quietStart < kQuietPeriod; ++i) {
        sender.send(sink.port(), numberedPayload(i));
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(live->lateCalls(), 0) << "a handler ran after the module was ended";

    if (!c.deleteModule) { // a stopped module captures again when started again
        const size_t before = live->count();
        ASSERT_EQ(live->start(), 0);
        sendAndAwait(*live, sender, sink.port(), 1000, 1, before + 1);
        EXPECT_EQ(live->stop(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(, LiveCaptureEnd,
                         testing::Values(EndCase{"QvrStopDispatch", true, false},
                                         EndCase{"QvrDeleteQuarvel", true, true},
                                         EndCase{"TsmStopDispatch", false, false},
                                         EndCase{"TsmDeleteTessomat", false, true}),
                         [](const testing::TestParamInfo<EndCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------

int32_t ignoreFrame(const TsmTime*, const uint32_t*, const uint8_t*, void*) { return 0; }
int32_t ignorePacket(QvrPacket*, void*) { return 0; }

struct Call {
    const char* name;
    std::function<int32_t()> run;
    int32_t expected;
};

void expectStatuses(const std::vector<Call>& calls)
{
    for (const Call& call : calls)
        EXPECT_EQ(call.run(), call.expected) << call.name;
}

TEST(LiveCaptureStates, TessomatRefusesChangesWhileCapturing)
{
    Tessomat* m = nullptr;
    ASSERT_EQ(TsmCreateTessomat("lo", 0, nullptr, &m), TSM_OK);
    ASSERT_EQ(TsmRegisterHandler(m, ignoreFrame, nullptr), TSM_OK);
    expectStatuses({{"stop while idle", [&] { return TsmStopDispatch(m); }, TSM_NOT_RUNNING},
                    {"start", [&] { return TsmStartDispatch(m); }, TSM_OK},
                    {"start again", [&] { return TsmStartDispatch(m); }, TSM_ALREADY_RUNNING},
                    {"offline read", [&] { return TsmStartDispatchOfflinePacket(m); }, TSM_ALREADY_RUNNING},
                    {"register", [&] { return TsmRegisterHandler(m, ignoreFrame, nullptr); }, TSM_BUSY},
                    {"unregister", [&] { return TsmUnregisterHandler(m, ignoreFrame); }, TSM_BUSY},
                    {"clean", [&] { return TsmCleanHandler(m); }, TSM_BUSY},
                    {"set filter", [&] { return TsmSetFilter(m, "udp"); }, TSM_BUSY},
                    {"stop", [&] { return TsmStopDispatch(m); }, TSM_OK},
                    {"stop again", [&] { return TsmStopDispatch(m); }, TSM_NOT_RUNNING},
                    {"set filter when stopped", [&] { return TsmSetFilter(m, "udp"); }, TSM_OK},
                    {"unregister when stopped", [&] { return TsmUnregisterHandler(m, ignoreFrame); }, TSM_OK}});
    EXPECT_EQ(TsmDeleteTessomat(m), TSM_OK);
}

TEST(LiveCaptureStates, QuarvelRefusesChangesWhileCapturing)
{
    Quarvel* m = nullptr;
    ASSERT_EQ(QvrCreateQuarvel("lo", 0, nullptr, &m), QVR_OK);
    ASSERT_EQ(QvrRegisterHandler(m, ignorePacket, nullptr), QVR_OK);
    expectStatuses({{"stop while idle", [&] { return QvrStopDispatch(m); }, QVR_NOT_RUNNING},
                    {"start", [&] { return QvrStartDispatch(m); }, QVR_OK},
                    {"start again", [&] { return QvrStartDispatch(m); }, QVR_ALREADY_RUNNING},
                    {"register", [&] { return QvrRegisterHandler(m, ignorePacket, nullptr); }, QVR_BUSY},
                    {"unregister", [&] { return QvrUnregisterHandler(m, ignorePacket); }, QVR_BUSY},
                    {"clean", [&] { return QvrCleanHandler(m); }, QVR_BUSY},
                    {"set filter", [&] { return QvrSetFilter(m, "udp"); }, QVR_BUSY},
                    {"stop", [&] { return QvrStopDispatch(m); }, QVR_OK},
                    {"stop again", [&] { return QvrStopDispatch(m); }, QVR_NOT_RUNNING},
                    {"set filter when stopped", [&] { return QvrSetFilter(m, "udp"); }, QVR_OK},
                    {"unregister when stopped", [&] { return QvrUnregisterHandler(m, ignorePacket); }, QVR_OK}});
    EXPECT_EQ(QvrDeleteQuarvel(m), QVR_OK);
}

TEST(LiveCaptureStates, DeviceThatDoesNotExistIsRefused)
{
    const char* missing = "cvn-missing0";
    Tessomat* tessomat = nullptr;
    EXPECT_EQ(TsmCreateTessomat(missing, 0, nullptr, &tessomat), TSM_REFUSED);
    EXPECT_EQ(tessomat, nullptr);
    Quarvel* quarvel = nullptr;
    EXPECT_EQ(QvrCreateQuarvel(missing, 1, nullptr, &quarvel), QVR_REFUSED);
    EXPECT_EQ(quarvel, nullptr);
}

// ---------------------------------------------------------------------------------------

struct SendCase {
    const char* name;
    bool quarvel;
};

class LiveCaptureSend : public testing::TestWithParam<SendCase> {};

TEST_P(LiveCaptureSend, FrameSentOnLoIsCapturedByAnotherModuleByteForByte)
{
    UdpSink sink;
    TessomatOnLo receiver(sink.port());
    ASSERT_TRUE(receiver.opened()) << "cannot capture on lo (root or CAP_NET_RAW needed)";
    ASSERT_EQ(receiver.start(), 0);

    const Bytes frame = udpFrame({127, 0, 0, 1}, 40000, {127, 0, 0, 1}, sink.port(), textBytes("sent through the module"));
    const auto length = static_cast<int32_t>(frame.size());
    if (GetParam().quarvel) {
        Quarvel* sender = nullptr;
        ASSERT_EQ(QvrCreateQuarvel("lo", 0, nullptr, &sender), QVR_OK);
        EXPECT_EQ(QvrSendPacket(sender, frame.data(), static_cast<uint32_t>(length)), QVR_OK);
        EXPECT_EQ(QvrDeleteQuarvel(sender), QVR_OK);
    } else {
        Tessomat* sender = nullptr;
        ASSERT_EQ(TsmCreateTessomat("lo", 0, nullptr, &sender), TSM_OK);
        EXPECT_EQ(TsmSendPacket(sender, frame.data(), length), TSM_OK);
        EXPECT_EQ(TsmDeleteTessomat(sender), TSM_OK);
    }
    EXPECT_TRUE(waitUntil([&] { return receiver.count() >= 1; }, kArrivalLimit));
    EXPECT_EQ(receiver.stop(), 0);
    const std::vector<Bytes> frames = receiver.frames();
    ASSERT_FALSE(frames.empty());
    for (const Bytes& captured : frames)
        EXPECT_EQ(captured, frame);
}

INSTANTIATE_TEST_SUITE_P(, LiveCaptureSend,
                         testing::Values(SendCase{"TsmSendPacket", false}, SendCase{"QvrSendPacket", true}),
                         [](const testing::TestParamInfo<SendCase>& info) { return std::string(info.param.name); });

} // namespace
