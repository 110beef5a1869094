// A live capture session on two real interfaces, in a network namespace of the test's own:
// lo, and one end of a veth pair that datagrams to a neighbour leave by. Every datagram sent is stored
// once, by the source it crossed.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <set>
#include <thread>

#include "loopback_net.h"
#include "packet_process.h"

using namespace testsupport;
using AnalyzerProject::CPacketCapture;

namespace {

constexpr uint16_t kPort = 41000;

bool sendTo(const char* address, uint16_t port, const std::string& text)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    inet_pton(AF_INET, address, &to.sin_addr);
    const bool sent = sendto(fd, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to)
                      == static_cast<ssize_t>(text.size());
    close(fd);
    return sent;
}

// The UDP payloads of the stored packets, as text.
std::multiset<std::string> storedPayloads(const CPacketCapture& session)
{
    std::multiset<std::string> payloads;
    for (uint32_t i = 0; i < session.PacketCount(); ++i) {
        const QvrPacket* p = session.GetPacket(i);
        if (p->tail && p->tail->kind == HN_UDP_DATA)
            payloads.insert(std::string(reinterpret_cast<const char*>(p->data) + p->tail->offset, p->tail->length));
    }
    return payloads;
}

class LiveSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "live capture needs root";
        // This test process (and the capture threads it starts) gets a network of its own.
        ASSERT_EQ(unshare(CLONE_NEWNET), 0);
        ASSERT_EQ(std::system("ip link set lo up && ip link add corvveth0 type veth peer name corvveth1 && "
                              "ip addr add 10.77.0.1/24 dev corvveth0 && ip link set corvveth0 up && "
                              "ip link set corvveth1 up && "
                              "ip neigh add 10.77.0.99 lladdr 02:00:00:00:00:99 dev corvveth0"),
                  0);
    }
};

TEST_F(LiveSession, TwoSourcesStoreEachDatagramOnce)
{
    std::mutex lock;
    CPacketCapture session;
    session.SetLock(&lock);
    session.AddInterface("lo", nullptr);
    session.AddInterface("corvveth0", nullptr);
    ASSERT_TRUE(session.Open(nullptr, nullptr));
    const std::string filter = "udp dst port " + std::to_string(kPort);
    ASSERT_TRUE(session.SetInterfaceFilter(0, filter));
    ASSERT_TRUE(session.SetInterfaceFilter(1, filter));
    session.StartCapture(false);

    std::multiset<std::string> sent;
    for (int i = 0; i < 10; ++i) {
        const std::string toLo = "lo-" + std::to_string(i), toVeth = "veth-" + std::to_string(i);
        ASSERT_TRUE(sendTo("127.0.0.1", kPort, toLo));
        ASSERT_TRUE(sendTo("10.77.0.99", kPort, toVeth)); // the neighbour behind corvveth0
        sent.insert(toLo);
        sent.insert(toVeth);
    }
    const bool all = waitUntil([&] { return session.PacketCount() >= sent.size(); }, std::chrono::seconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // room for a duplicate to show
    session.StopCapture();
    EXPECT_TRUE(all);
    EXPECT_EQ(storedPayloads(session), sent);

    // After the stop nothing more is stored; a new start empties the store first.
    const uint32_t stored = session.PacketCount();
    sendTo("127.0.0.1", kPort, "late");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(session.PacketCount(), stored);
    session.StartCapture(false);
    EXPECT_EQ(session.PacketCount(), 0u);
    session.StopCapture();
}

} // namespace
