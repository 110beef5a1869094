// Pieces shared by the whole-program benchmarks: the floor of holding a capture in memory,
// resident memory, and measurements in child processes of their own.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <functional>

namespace benchsupport {

long ResidentBytes();

// A bare pcap_loop that keeps a malloc'd copy (`extra` bytes larger) of every frame;
// answers the seconds it took and the frames read.
double KeepingLoop(const char* path, size_t extra, size_t& frames);

// Runs `measure` in a child process, on a fresh heap with the analyzer's allocator
// settings, and brings its result (a plain struct) back. Exits on a failed child.
template <typename Result>
Result InChild(const std::function<Result()>& measure);

void TuneChild();

template <typename Result>
Result InChild(const std::function<Result()>& measure)
{
    int fds[2];
    if (pipe(fds) != 0)
        std::exit(1);
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        TuneChild();
        const Result r = measure();
        if (write(fds[1], &r, sizeof r) != sizeof r)
            _exit(1);
        _exit(0);
    }
    close(fds[1]);
    Result r{};
    const bool complete = read(fds[0], &r, sizeof r) == sizeof r;
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!complete || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::exit(1);
    return r;
}

} // namespace benchsupport
