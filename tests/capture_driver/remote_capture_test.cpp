// Remote capture against a real rpcapd on 127.0.0.1 (started by the tests under a
// throw-away account, see rpcapd_server.h): the server's device list, datagrams captured on
// the server's lo, credentials the server refuses, and servers that cannot be reached, each
// answered within the driver's connection bound.
#include <gtest/gtest.h>
#include <pcap/pcap.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "frame_builder.h"
#include "loopback_net.h"
#include "quarvel.h"
#include "rpcapd_server.h"

#ifndef CORVANE_RPCAPD_PATH
#define CORVANE_RPCAPD_PATH ""
#endif

using namespace testsupport;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kArrivalLimit = 5s;
constexpr auto kRefusalLimit = 5s;     // a refusing server answers at once
constexpr auto kUnreachableLimit = 6s; // the driver gives up connecting after 4 s
constexpr auto kRemoteStopLimit = 3s;  // a remote read wakes at its 1 s timeout at the latest
constexpr int kDatagrams = 20;

struct AuthDeleter {
    void operator()(pcap_rmtauth* a) const { QvrDeleteAuthInfo(a); }
};
using Auth = std::unique_ptr<pcap_rmtauth, AuthDeleter>;

struct DeviceListDeleter {
    void operator()(pcap_if* list) const { QvrFreeAllNIC(list); }
};
using DeviceList = std::unique_ptr<pcap_if, DeviceListDeleter>;

struct ModuleDeleter {
    void operator()(Quarvel* m) const { QvrDeleteQuarvel(m); }
};
using Module = std::unique_ptr<Quarvel, ModuleDeleter>;

struct PacketDeleter {
    void operator()(QvrPacket* p) const { QvrDeletePacket(p); }
};
using PacketCopy = std::unique_ptr<QvrPacket, PacketDeleter>;

constexpr int32_t kPasswordAuth = 1; // the capture library's RPCAP_RMTAUTH_PWD
static_assert(kPasswordAuth == RPCAP_RMTAUTH_PWD);

Auth passwordAuth(const std::string& user, const std::string& password)
{
    pcap_rmtauth* auth = nullptr;
    EXPECT_EQ(QvrCreateAuthInfo(kPasswordAuth, user.c_str(), password.c_str(), &auth), QVR_OK);
    return Auth(auth);
}

std::string remoteSource(uint16_t port, const char* device)
{
    return "rpcap://127.0.0.1:" + std::to_string(port) + "/" + device;
}

long long millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Keeps copies of the delivered packets and the threads they came on.
struct Collector {
    std::mutex lock;
    std::vector<PacketCopy> copies;
    std::vector<std::thread::id> threads;

    static int32_t keep(QvrPacket* packet, void* user)
    {
        auto* self = static_cast<Collector*>(user);
        QvrPacket* copy = nullptr;
        const int32_t status = QvrPacketDuplicate(&copy, packet);
        std::lock_guard guard(self->lock);
        self->threads.push_back(std::this_thread::get_id());
        if (status == QVR_OK)
            self->copies.emplace_back(copy);
        return 0;
    }

    // UDP payloads in delivery order; every packet must decode as Ethernet/IPv4/UDP.
    std::vector<Bytes> payloads()
    {
        std::lock_guard guard(lock);
        std::vector<Bytes> result;
        const std::vector<int32_t> expectedChain{HN_ETHERNET, HN_IPV4, HN_UDP, HN_UDP_DATA};
        for (const PacketCopy& copy : copies) {
            std::vector<int32_t> chain;
            for (const HeaderNode* n = copy->head; n; n = n->next)
                chain.push_back(n->kind);
            EXPECT_EQ(chain, expectedChain);
            if (chain == expectedChain)
                result.emplace_back(copy->data + copy->tail->offset, copy->data + copy->tail->offset + copy->tail->length);
        }
        return result;
    }

    size_t count(const Bytes& payload)
    {
        size_t n = 0;
        for (const Bytes& p : payloads())
            n += p == payload;
        return n;
    }
};

} // namespace

// ---------------------------------------------------------------------------------------

class RemoteCapture : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        unavailable_ = RpcapdServer::unavailableReason(CORVANE_RPCAPD_PATH);
        if (!unavailable_.empty())
            return;
        server_ = new RpcapdServer(CORVANE_RPCAPD_PATH);
        startError_.clear();
        if (!server_->start(startError_))
            return;
        std::printf("[ rpcapd   ] 127.0.0.1:%u, account %s\n", server_->port(), server_->user().c_str());
    }

    static void TearDownTestSuite()
    {
        delete server_; // ends rpcapd and removes the account
        server_ = nullptr;
    }

    void SetUp() override
    {
        if (!unavailable_.empty())
            GTEST_SKIP() << unavailable_;
        ASSERT_TRUE(startError_.empty()) << startError_;
    }

    static RpcapdServer& server() { return *server_; }
    static Auth validAuth() { return passwordAuth(server_->user(), server_->password()); }

private:
    static inline RpcapdServer* server_ = nullptr;
    static inline std::string unavailable_;
    static inline std::string startError_;
};

TEST_F(RemoteCapture, DeviceListOfTheServerNamesItsLoopback)
{
    Auth auth = validAuth();
    pcap_if* list = nullptr;
    ASSERT_EQ(QvrGetRemoteAllNIC("127.0.0.1", server().portText().c_str(), auth.get(), &list), QVR_OK);
    DeviceList devices(list);
    bool loopback = false;
    for (const pcap_if* d = list; d; d = d->next) {
        const std::string name = d->name;
        std::printf("[ device   ] %s\n", name.c_str());
        EXPECT_EQ(name.rfind("rpcap://", 0), 0u) << name;
        loopback = loopback || (name.size() >= 3 && name.compare(name.size() - 3, 3, "/lo") == 0);
    }
    EXPECT_TRUE(loopback) << "no device of the server ends in /lo";
}

TEST_F(RemoteCapture, DatagramsOnTheServersLoopbackReachTheHandlersInOrder)
{
    UdpSink sink;
    UdpSender sender;
    Auth auth = validAuth();
    Quarvel* raw = nullptr;
    ASSERT_EQ(QvrCreateQuarvel(remoteSource(server().port(), "lo").c_str(), 0, auth.get(), &raw), QVR_OK)
        << server().log();
    Module module(raw);
    int32_t linkType = -1;
    EXPECT_EQ(QvrGetLinkType(raw, &linkType), QVR_OK);
    EXPECT_EQ(linkType, DLT_EN10MB);
    ASSERT_EQ(QvrSetFilter(raw, ("udp and dst port " + std::to_string(sink.port())).c_str()), QVR_OK);
    Collector collector;
    ASSERT_EQ(QvrRegisterHandler(raw, Collector::keep, &collector), QVR_OK);
    ASSERT_EQ(QvrStartDispatch(raw), QVR_OK);

    // The server starts capturing when the capture thread first asks it for frames: what is
    // sent before that is not seen. Probes until one comes back.
    const Bytes probe = textBytes("corvane remote probe");
    const auto probeStart = Clock::now();
    bool capturing = false;
    while (!capturing && Clock::now() - probeStart < kArrivalLimit) {
        sender.send(sink.port(), probe);
        capturing = waitUntil([&] { return collector.count(probe) > 0; }, 100ms);
    }
    ASSERT_TRUE(capturing) << "no probe came back within " << kArrivalLimit.count() << " s; rpcapd said:\n"
                           << server().log();
    std::printf("[ measured ] first probe came back after %lld ms\n", millisecondsSince(probeStart));

    std::vector<Bytes> sent;
    for (int i = 0; i < kDatagrams; ++i) {
        sent.push_back(textBytes("corvane remote datagram " + std::to_string(i)));
        ASSERT_TRUE(sender.send(sink.port(), sent.back()));
    }
    auto numbered = [&] {
        std::vector<Bytes> result;
        for (Bytes& p : collector.payloads())
            if (p != probe)
                result.push_back(std::move(p));
        return result;
    };
    EXPECT_TRUE(waitUntil([&] { return numbered().size() >= sent.size(); }, kArrivalLimit))
        << numbered().size() << " of " << sent.size() << " datagrams arrived";

    const auto stopStart = Clock::now();
    EXPECT_EQ(QvrStopDispatch(raw), QVR_OK);
    const auto stopTook = millisecondsSince(stopStart);
    std::printf("[ measured ] remote QvrStopDispatch returned after %lld ms\n", stopTook);
    EXPECT_LT(stopTook, std::chrono::milliseconds(kRemoteStopLimit).count());

    EXPECT_EQ(numbered(), sent); // all, once each, in order
    std::lock_guard guard(collector.lock);
    for (const std::thread::id& thread : collector.threads)
        EXPECT_NE(thread, std::this_thread::get_id());
}

// ---------------------------------------------------------------------------------------

enum class Credentials { WrongPassword, UnknownUser, None };

struct RefusalCase {
    const char* name;
    Credentials credentials;
};

class RemoteCaptureRefusal : public RemoteCapture, public testing::WithParamInterface<RefusalCase> {
protected:
    Auth credentials() const
    {
        switch (GetParam().credentials) {
        case Credentials::WrongPassword: return passwordAuth(server().user(), server().password() + "x");
        case Credentials::UnknownUser: return passwordAuth("cvn-no-such-user", server().password());
        case Credentials::None: break;
        }
        return nullptr; // null authentication, which the server does not allow
    }
};

TEST_P(RemoteCaptureRefusal, ListAndOpenAreRefusedPromptly)
{
    const Auth auth = credentials();

    auto start = Clock::now();
    pcap_if* list = nullptr;
    EXPECT_EQ(QvrGetRemoteAllNIC("127.0.0.1", server().portText().c_str(), auth.get(), &list), QVR_REFUSED);
    DeviceList devices(list);
    const auto listTook = millisecondsSince(start);

    start = Clock::now();
    Quarvel* module = nullptr;
    EXPECT_EQ(QvrCreateQuarvel(remoteSource(server().port(), "lo").c_str(), 0, auth.get(), &module), QVR_REFUSED);
    Module owner(module);
    EXPECT_EQ(module, nullptr);
    const auto openTook = millisecondsSince(start);

    std::printf("[ measured ] %s: device list refused after %lld ms, open after %lld ms\n", GetParam().name,
                listTook, openTook);
    EXPECT_LT(listTook, std::chrono::milliseconds(kRefusalLimit).count());
    EXPECT_LT(openTook, std::chrono::milliseconds(kRefusalLimit).count());
}

INSTANTIATE_TEST_SUITE_P(, RemoteCaptureRefusal,
                         testing::Values(RefusalCase{"WrongPassword", Credentials::WrongPassword},
                                         RefusalCase{"UnknownUser", Credentials::UnknownUser},
                                         RefusalCase{"NullAuthentication", Credentials::None}),
                         [](const testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------

// Servers that cannot be reached; no rpcapd needed. A silent server stands in for a host
// behind a network that drops the connection attempt, without leaving the machine.
enum class Unreachable { NothingListening, SilentServer };

struct UnreachableCase {
    const char* name;
    Unreachable kind;
};

class RemoteCaptureUnreachable : public testing::TestWithParam<UnreachableCase> {};

TEST_P(RemoteCaptureUnreachable, ListAndOpenAreRefusedWithinTheConnectionBound)
{
    SilentTcpServer silent;
    uint16_t port = 0;
    if (GetParam().kind == Unreachable::SilentServer) {
        ASSERT_TRUE(silent.silent()) << "the silent server's accept queue could not be filled";
        port = silent.port();
    } else {
        port = freeLoopbackPort(SOCK_STREAM);
    }
    ASSERT_NE(port, 0);
    const Auth auth = passwordAuth("cvn-no-such-user", "unused");

    auto start = Clock::now();
    pcap_if* list = nullptr;
    EXPECT_EQ(QvrGetRemoteAllNIC("127.0.0.1", std::to_string(port).c_str(), auth.get(), &list), QVR_REFUSED);
    DeviceList devices(list);
    const auto listTook = millisecondsSince(start);

    start = Clock::now();
    Quarvel* module = nullptr;
    EXPECT_EQ(QvrCreateQuarvel(remoteSource(port, "lo").c_str(), 0, auth.get(), &module), QVR_REFUSED);
    Module owner(module);
    EXPECT_EQ(module, nullptr);
    const auto openTook = millisecondsSince(start);

    std::printf("[ measured ] %s: device list refused after %lld ms, open after %lld ms\n", GetParam().name,
                listTook, openTook);
    EXPECT_LT(listTook, std::chrono::milliseconds(kUnreachableLimit).count());
    EXPECT_LT(openTook, std::chrono::milliseconds(kUnreachableLimit).count());
}

INSTANTIATE_TEST_SUITE_P(, RemoteCaptureUnreachable,
                         testing::Values(UnreachableCase{"NothingListening", Unreachable::NothingListening},
                                         UnreachableCase{"SilentServer", Unreachable::SilentServer}),
                         [](const testing::TestParamInfo<UnreachableCase>& info) {
                             return std::string(info.param.name);
                         });
