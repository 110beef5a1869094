// Opening a large capture file in the program's window (offscreen): the time until the
// replay's end gives the toolbar back, then the time to sort the packet list by Source,
// the longest stall of the user-interface event loop through both (a 5 ms heartbeat
// timer), and the resident memory per packet beyond the frame bytes with the packet list
// populated. Compared with the keeping pcap_loop floor of the pipeline benchmark plus the
// replay's fixed tail (five idle passes of 100 ms, and the watcher's one-second tick).
// Last line: "gui-open: <(time - tail) / floor>".
#include <QApplication>
#include <QElapsedTimer>
#include <QMdiSubWindow>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include "analysisform.h"
#include "bench_support.h"
#include "mainform.h"
#include "message_box.h"

using namespace AnalyzerProject;
using namespace benchsupport;

namespace {

struct GuiRun {
    double seconds;
    double longestStallMs;
    double openingMs; // the opening command itself, on the event loop's thread
    double stallAtMs; // when the longest stall ended, from the opening
    double sortSeconds;
    double bytesPerPacket;
    uint64_t delivered;
    bool complete;
};

GuiRun openInWindow(const char* path)
{
    int argc = 1;
    char name[] = "gui_open_bench";
    char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetMessageInterceptor([](const MessageRecord&) {}); // the help file check
    TForm1 main;
    main.show();
    const long before = ResidentBytes();

    GuiRun run{};
    QElapsedTimer clock, sinceBeat;
    QTimer heartbeat;
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const double gap = sinceBeat.nsecsElapsed() / 1e6;
        if (gap > 50 && qEnvironmentVariableIsSet("CORVANE_BENCH_STALLS"))
            std::fprintf(stderr, "stall %.0f ms ending at %.0f ms\n", gap, clock.nsecsElapsed() / 1e6);
        if (gap > run.longestStallMs) {
            run.longestStallMs = gap;
            run.stallAtMs = clock.nsecsElapsed() / 1e6;
        }
        sinceBeat.restart();
    });
    QTimer watch;
    watch.setInterval(10);
    QElapsedTimer sortClock;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const auto windows = main.MdiArea()->subWindowList();
        auto* w = windows.isEmpty() ? nullptr : qobject_cast<TAnalysisForm*>(windows.front());
        if (!w || w->m_pv_Timer1.isActive() || !w->ToolButton4->isEnabled())
            return;
        if (run.seconds == 0) { // the replay has just given the toolbar back: sort by Source
            run.seconds = clock.nsecsElapsed() / 1e9;
            sortClock.start();
            w->PacketViewer()->m_pv_TListView_ListPktColumnClick(2);
            return;
        }
        if (w->PacketViewer()->Model()->Sorting())
            return;
        run.sortSeconds = sortClock.nsecsElapsed() / 1e9;
        heartbeat.stop(); // what follows is the measurement's own work
        run.delivered = w->PagePackets(3);
        if (w->PacketViewer()->Model()->rowCount() != static_cast<int>(run.delivered))
            run.delivered = 0; // the list must hold every packet
        run.complete = w->Capture().PacketCount() == run.delivered;
        const double resident = ResidentBytes() - before;
        uint64_t frameBytes = 0;
        for (uint32_t i = 0; i < w->Capture().PacketCount(); ++i)
            frameBytes += w->Capture().GetPacket(i)->length;
        run.bytesPerPacket = (resident - frameBytes) / std::max<double>(1, run.delivered);
        app.quit();
    });
    clock.start();
    sinceBeat.start();
    heartbeat.start();
    watch.start();
    QElapsedTimer opening;
    opening.start();
    main.OpenCaptureFile(path);
    run.openingMs = opening.nsecsElapsed() / 1e6;
    app.exec();
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: gui_open_bench CAPTURE.pcap [rounds]\n");
        return 2;
    }
    const char* path = argv[1];
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    struct Floor {
        double seconds;
        size_t frames;
    };
    InChild<Floor>([path] { Floor f{}; f.seconds = KeepingLoop(path, 0, f.frames); return f; }); // warm the cache
    double floor = 1e9;
    GuiRun best{};
    best.seconds = 1e9;
    double worstStall = 0;
    for (int i = 0; i < rounds; ++i) {
        floor = std::min(floor, InChild<Floor>([path] { Floor f{}; f.seconds = KeepingLoop(path, 0, f.frames); return f; }).seconds);
        const GuiRun run = InChild<GuiRun>([path] { return openInWindow(path); });
        if (!run.complete) {
            std::fprintf(stderr, "gui-open: the window did not show the whole file\n");
            return 1;
        }
        worstStall = std::max(worstStall, run.longestStallMs);
        if (run.seconds < best.seconds)
            best = run;
    }
    const double tail = 5 * 0.100 + 1.0; // five idle passes, and at most one watcher tick
    std::printf("packets:                         %llu delivered to every page\n",
                static_cast<unsigned long long>(best.delivered));
    std::printf("keeping pcap_loop floor:         %.3f s (best of %d)\n", floor, rounds);
    std::printf("open until the toolbar is back:  %.3f s (best of %d; fixed tail up to %.1f s)\n", best.seconds,
                rounds, tail);
    std::printf("sort a million rows by Source:   %.3f s\n", best.sortSeconds);
    std::printf("longest event-loop stall:        %.1f ms (worst of %d; in the best run %.1f ms, ending %.0f ms after "
                "the opening, which itself took %.1f ms)\n",
                worstStall, rounds, best.longestStallMs, best.stallAtMs, best.openingMs);
    std::printf("resident after loading:          %.0f bytes per packet beyond the frame bytes\n",
                best.bytesPerPacket);
    std::printf("gui-open: %.2f\n", std::max(0.0, best.seconds - tail) / floor);
    return 0;
}
