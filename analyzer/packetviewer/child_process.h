// Child processes of the program: started from an argument list, never through a shell,
// with posix_spawn rather than a fork. A fork copies the page tables of the whole process
// and stalls every thread while it does; with millions of packets in memory that is a
// visible freeze of the window each time the dissector runs. posix_spawn starts the child
// without copying anything.
#pragma once

#include <QString>
#include <QStringList>

#include <string>

namespace AnalyzerProject {

struct ChildOutcome {
    bool started = false;  // false: the program could not be started
    bool timedOut = false; // killed after the time limit
};

// Runs `program` with `args`, standard input the null device. With `output`, standard
// output and standard error both go to a pipe read in pieces of at most `readSize` bytes
// while the child runs (so it never blocks on a full pipe), until it has ended and nothing
// is left; without, both go to the null device. A child still running after `timeLimitMs`
// is killed; what it wrote until then is kept.
ChildOutcome RunChild(const QString& program, const QStringList& args, std::string* output, int timeLimitMs,
                      size_t readSize = 20480);

// Starts `program` without arguments and ends it at once: can it be started?
bool ProbeChild(const QString& program);

} // namespace AnalyzerProject
