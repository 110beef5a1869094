#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

extern char** environ;

namespace AnalyzerProject {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kChildNiceness = 10;

// The spawn's file actions: standard input from the null device, output and error to
// `outputFd` (or the null device when it is -1).
struct Spawn {
    posix_spawn_file_actions_t actions;
    explicit Spawn(int outputFd)
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        if (outputFd >= 0) {
            posix_spawn_file_actions_adddup2(&actions, outputFd, 1);
            posix_spawn_file_actions_adddup2(&actions, outputFd, 2);
        } else {
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        }
    }
    ~Spawn() { posix_spawn_file_actions_destroy(&actions); }

    pid_t Start(const QString& program, const QStringList& args)
    {
        std::vector<QByteArray> texts{program.toLocal8Bit()};
        for (const QString& a : args)
            texts.push_back(a.toLocal8Bit());
        std::vector<char*> argv;
        for (QByteArray& t : texts)
            argv.push_back(t.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        // A bare name is looked up in PATH, as a shell would; paths are taken as they are.
        return posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0 ? pid : -1;
    }
};

int RemainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for the child's end until `deadline`; kills it past that. True if it was killed.
bool Reap(pid_t pid, Clock::time_point deadline)
{
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

} // namespace

ChildOutcome RunChild(const QString& program, const QStringList& args, std::string* output, int timeLimitMs,
                      size_t readSize)
{
    ChildOutcome outcome;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeLimitMs, 0));
    int fds[2] = {-1, -1};
    if (output && pipe2(fds, O_CLOEXEC) != 0)
        return outcome;
    Spawn spawn(output ? fds[1] : -1);
    const pid_t pid = spawn.Start(program, args);
    if (output)
        close(fds[1]);
    if (pid < 0) {
        if (output)
            close(fds[0]);
        return outcome;
    }
    outcome.started = true;
    // The helpers yield to the window and to capture: on a busy machine a packet's tree may
    // come a little later, the list keeps moving.
    setpriority(PRIO_PROCESS, static_cast<id_t>(pid), kChildNiceness);
    if (output) {
        std::string piece(readSize, '\0');
        for (;;) {
            pollfd p{fds[0], POLLIN, 0};
            const int ready = poll(&p, 1, RemainingMs(deadline));
            if (ready == 0) { // the time is up
                kill(pid, SIGKILL);
                outcome.timedOut = true;
                break;
            }
            if (ready < 0)
                continue; // interrupted by a signal
            const ssize_t n = read(fds[0], piece.data(), piece.size());
            if (n <= 0)
                break; // the child closed its end: it has ended
            output->append(piece.data(), static_cast<size_t>(n));
        }
        close(fds[0]);
    }
    outcome.timedOut = Reap(pid, outcome.timedOut ? Clock::now() : deadline) || outcome.timedOut;
    return outcome;
}

bool ProbeChild(const QString& program)
{
    Spawn spawn(-1);
    const pid_t pid = spawn.Start(program, {});
    if (pid < 0)
        return false;
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    return true;
}

} // namespace AnalyzerProject
