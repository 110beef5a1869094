// Holding a capture in memory against the floor of doing so: (a) a bare pcap_loop that
// keeps a malloc'd copy of every frame in a vector, (b) the headless pipeline, from opening
// a capture session on the file until a real-time dispatcher has delivered every packet to
// a counting target. The dispatcher runs at the default 100 ms interval; (b) is taken when
// the last packet has been delivered, which leaves out the fixed tail of five idle passes
// that ends a replay (printed apart). Also prints the resident memory after loading, per
// packet beyond the frame bytes. Last line: "pipeline: <b/a ratio>".
//
// Every measurement runs in a child process of its own, on a fresh heap, with the
// allocator settings the analyzer uses.

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "headless_replay.h"
#include "headless_target.h"
#include "bench_support.h"

using namespace AnalyzerProject;
using namespace benchsupport;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kInterval = 100;

// Notes when the last packet of the file reaches the last page.
class TimingTarget : public HeadlessTarget {
public:
    explicit TimingTarget(uint64_t expected) : expected_(expected) {}
    Clock::time_point lastDelivery;

protected:
    void m_st_AddPacket(QvrPacket* p) override
    {
        HeadlessTarget::m_st_AddPacket(p);
        if (Packets(Statistic) == expected_)
            lastDelivery = Clock::now();
    }

private:
    uint64_t expected_;
};

// Bytes a stored copy holds beside the frame: its record and, for the common
// Ethernet/IP/UDP/payload packet, four header nodes.
constexpr size_t kRecordBytes = sizeof(QvrPacket) + 4 * sizeof(HeaderNode);

struct PipelineRun {
    double seconds = 0;      // until the last packet was delivered
    double withTail = 0;     // until the dispatcher ended
    ReplayOutcome outcome;
    long residentGrowth = 0;
    uint64_t frameBytes = 0;
};

PipelineRun pipeline(const char* path, size_t frames)
{
    PipelineRun run;
    const long before = ResidentBytes();
    const auto start = Clock::now();
    {
        TimingTarget target(frames);
        HeadlessReplay replay;
        run.outcome = replay.Run(path, target, kInterval);
        run.withTail = std::chrono::duration<double>(Clock::now() - start).count();
        run.seconds = std::chrono::duration<double>(target.lastDelivery - start).count();
        run.residentGrowth = ResidentBytes() - before;
        const CPacketCapture& session = replay.Session();
        for (uint32_t i = 0; i < session.PacketCount(); ++i)
            run.frameBytes += session.GetPacket(i)->length;
        if (!run.outcome.opened || run.outcome.delivered != run.outcome.stored
            || target.Packets(HeadlessTarget::Statistic) != run.outcome.stored) {
            std::fprintf(stderr, "pipeline: the replay did not deliver the whole file\n");
            std::exit(1);
        }
    }
    return run;
}

struct BareRun {
    double seconds;
    size_t frames;
};

BareRun bareInChild(const char* path, size_t extra = 0)
{
    return InChild<BareRun>([path, extra] {
        BareRun r{};
        r.seconds = KeepingLoop(path, extra, r.frames);
        return r;
    });
}

PipelineRun pipelineInChild(const char* path, size_t frames)
{
    return InChild<PipelineRun>([path, frames] {
        int argc = 1;
        char name[] = "pipeline_bench";
        char* argv[] = {name, nullptr};
        QCoreApplication app(argc, argv);
        return pipeline(path, frames);
    });
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: pipeline_bench CAPTURE.pcap [rounds]\n");
        return 2;
    }
    const char* path = argv[1];
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const size_t frames = bareInChild(path).frames; // also brings the file into the page cache
    double bestBare = 1e9, bestRecordSized = 1e9, bestPipeline = 1e9, tail = 0;
    PipelineRun first{};
    for (int i = 0; i < rounds; ++i) {
        bestBare = std::min(bestBare, bareInChild(path).seconds);
        bestRecordSized = std::min(bestRecordSized, bareInChild(path, kRecordBytes).seconds);
        const PipelineRun run = pipelineInChild(path, frames);
        if (i == 0)
            first = run;
        if (run.seconds < bestPipeline) {
            bestPipeline = run.seconds;
            tail = run.withTail - run.seconds;
        }
    }
    const double packets = first.outcome.stored;
    std::printf("packets:                          %zu in file, %u stored and delivered\n", frames,
                first.outcome.stored);
    std::printf("(a) pcap_loop keeping copies:     %.3f s (best of %d)\n", bestBare, rounds);
    std::printf("(a') the same, copies %zu bytes larger: %.3f s (the floor for records of a copy's size)\n",
                kRecordBytes, bestRecordSized);
    std::printf("(b) session + dispatcher replay:  %.3f s to the last delivery (best of %d; %d ms interval)\n",
                bestPipeline, rounds, kInterval);
    std::printf("    then the closing countdown:   %.3f s more\n", tail);
    std::printf("resident after loading:           %.0f bytes per packet beyond its %.0f frame bytes\n",
                (first.residentGrowth - static_cast<double>(first.frameBytes)) / packets,
                first.frameBytes / packets);
    std::printf("pipeline: %.2f\n", bestPipeline / bestBare);
    return 0;
}
