// corvane-replay FILE [--interval MS] [--filter EXPRESSION]
// Replays a capture file through a capture session and a real-time dispatcher, headless,
// and prints what every page entry received.
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "headless_replay.h"
#include "headless_target.h"

using namespace AnalyzerProject;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::string file;
    int interval = 100;
    const char* filter = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--interval") && i + 1 < argc)
            interval = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--filter") && i + 1 < argc)
            filter = argv[++i];
        else if (argv[i][0] != '-' && file.empty())
            file = argv[i];
        else
            file.clear(), i = argc;
    }
    if (file.empty() || interval <= 0) {
        std::fprintf(stderr, "usage: corvane-replay FILE [--interval MS] [--filter EXPRESSION]\n");
        return 2;
    }

    HeadlessTarget target;
    HeadlessReplay replay;
    const ReplayOutcome outcome = replay.Run(file, target, interval, filter);
    if (!outcome.opened) {
        std::fprintf(stderr, "corvane-replay: cannot open %s%s\n", file.c_str(),
                     filter ? " with that filter" : "");
        return 1;
    }
    std::printf("file\t%s\nstored\t%u\ndelivered\t%u\nmisses\t%d\n", file.c_str(), outcome.stored,
                outcome.delivered, outcome.missCount);
    for (int p = 0; p < HeadlessTarget::PageCount; ++p) {
        const auto page = static_cast<HeadlessTarget::Page>(p);
        std::printf("%s\tpackets %llu\tresets %llu\n", HeadlessTarget::kPageNames[p],
                    static_cast<unsigned long long>(target.Packets(page)),
                    static_cast<unsigned long long>(target.Resets(page)));
    }
    std::printf("out of order\t%llu\n", static_cast<unsigned long long>(target.OutOfOrder()));
    return outcome.delivered == outcome.stored && target.OutOfOrder() == 0 ? 0 : 1;
}
