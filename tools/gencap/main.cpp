// corvane-gencap: writes a deterministic capture file of SIP calls, their RTP media and a
// little other traffic, for samples, tests and benchmarks.
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <exception>
#include <optional>

#include "background_traffic.h"
#include "capture_file.h"
#include "options.h"
#include "plan.h"
#include "rtp_stream.h"
#include "scheduler.h"
#include "sip_call.h"

namespace {

using namespace gencap;

// 2024-06-20 08:00:00 UTC, half a second before the first call.
constexpr Micros kCaptureStart = 1'718'870'400ull * 1'000'000;

void open(const CallPlan& call, Scheduler& scheduler)
{
    scheduler.add(std::make_unique<ScriptSource>(signallingFrames(call)));
    for (const StreamPlan& stream : call.streams)
        scheduler.add(makeRtpStream(stream));
    scheduler.add(std::make_unique<ScriptSource>(backgroundFrames(call.background)));
}

struct Totals {
    uint64_t calls = 0;
    uint64_t packets = 0;
};

Totals generate(const Options& options)
{
    testsupport::CaptureFileWriter out(options.output);
    Scheduler scheduler(out);
    PlanSettings settings;
    settings.seed = options.seed;
    settings.mediaSeconds = options.mediaSeconds;
    settings.allIpv6 = options.allIpv6;
    settings.firstCall = kCaptureStart + 500'000;
    Planner planner(settings);

    // Calls are planned one at a time and opened when their first frame is due, so only
    // the calls in progress are held in memory.
    Totals planned;
    auto wantAnother = [&]() {
        return options.packets ? planned.packets < options.packets : planned.calls < options.calls;
    };
    auto plan = [&]() -> std::optional<CallPlan> {
        if (!wantAnother())
            return std::nullopt;
        CallPlan call = planner.next();
        ++planned.calls;
        planned.packets += call.packetCount();
        return call;
    };

    std::optional<CallPlan> pending = plan();
    while (pending || !scheduler.empty()) {
        if (pending && (scheduler.empty() || pending->invite <= scheduler.nextTime())) {
            open(*pending, scheduler);
            pending = plan();
            continue;
        }
        scheduler.writeNext();
    }
    out.close();
    // The writer keeps quiet about failed writes (a full disk): the size tells.
    std::error_code ec;
    if (std::filesystem::file_size(options.output, ec) != 24 + scheduler.recordBytes() || ec)
        throw std::runtime_error("writing " + options.output + " failed");
    return {planned.calls, scheduler.written()};
}

} // namespace

int main(int argc, char** argv)
{
    std::string error;
    const std::optional<Options> options = parseOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "corvane-gencap: %s\n%s", error.c_str(), usageText());
        return 2;
    }
    if (options->help) {
        std::fputs(usageText(), stdout);
        return 0;
    }
    try {
        const Totals totals = generate(*options);
        std::printf("%s: %llu packets, %llu calls\n", options->output.c_str(),
                    static_cast<unsigned long long>(totals.packets), static_cast<unsigned long long>(totals.calls));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corvane-gencap: %s\n", e.what());
        return 1;
    }
    return 0;
}
