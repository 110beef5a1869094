// The analyzer program. Without arguments it opens its main window; with a capture file as
// argument it also opens that file as if chosen in the open dialog. "analyzer --report FILE"
// runs the same analysis without any window and prints what each page holds at the end.
#include <osipparser2/osip_parser.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>
#include <QToolTip>

#include <cstdio>
#include <cstring>

#include "headless_replay.h"
#include "headless_target.h"
#include "mainform.h"
#include "packet_row_text.h"
#include "memory_tuning.h"

using namespace AnalyzerProject;

namespace {

int Report(int argc, char** argv, const char* file)
{
    QCoreApplication app(argc, argv);
    if (!QFileInfo(file).isFile()) {
        std::fprintf(stderr, "analyzer: no such file: %s\n", file);
        return 1;
    }
    HeadlessTarget target;
    HeadlessReplay replay;
    const ReplayOutcome outcome = replay.Run(file, target, 100);
    if (!outcome.opened) {
        std::fprintf(stderr, "analyzer: not a capture file this program can read: %s\n", file);
        return 1;
    }
    std::printf("[Capture]\nfile\t%s\npackets\t%u\nmisses\t%d\n", file, outcome.stored, outcome.missCount);

    // The packet list: a line per row, in delivery order (row numbers are store indexes).
    std::printf("\n[%s]\nNO.\tTime\tSource\tDestination\tEncapsulation\n", HeadlessTarget::kPageNames[0]);
    const auto rows = static_cast<uint32_t>(target.Packets(HeadlessTarget::PacketViewer));
    for (uint32_t row = 0; row < rows; ++row) {
        const QvrPacket* packet = replay.Session().GetPacket(row);
        if (!packet)
            continue;
        PacketRowTexts t = MakeRowTexts(row, *packet);
        while (!t.time.empty() && (t.time.back() == '\n' || t.time.back() == ' '))
            t.time.pop_back();
        std::printf("%s\t%s\t%s\t%s\t%s\n", t.number.c_str(), t.time.c_str(), t.source.c_str(),
                    t.destination.c_str(), t.encapsulation.c_str());
    }
    // The pages whose views are not built yet: what they received.
    for (int p = 1; p < HeadlessTarget::PageCount; ++p)
        std::printf("\n[%s]\npackets\t%llu\n", HeadlessTarget::kPageNames[p],
                    static_cast<unsigned long long>(target.Packets(static_cast<HeadlessTarget::Page>(p))));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    TuneAllocatorForPacketStore();
    parser_init();
    if (argc == 3 && std::strcmp(argv[1], "--report") == 0)
        return Report(argc, argv, argv[2]);
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr, "usage: analyzer [capture-file]\n       analyzer --report capture-file\n");
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("Corvane Analyzer");
    TForm1 mainWindow;
    mainWindow.show();
    if (argc == 2) {
        const QString file = QString::fromLocal8Bit(argv[1]);
        QTimer::singleShot(0, &mainWindow, [&mainWindow, file] { mainWindow.OpenCaptureFile(file); });
    }
    return app.exec();
}
