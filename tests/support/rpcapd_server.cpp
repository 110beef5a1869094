#include "rpcapd_server.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include "loopback_net.h"

namespace testsupport {

namespace {

constexpr const char* kAccountPrefix = "corvanetest-";
constexpr const char* kUseradd = "/usr/sbin/useradd";
constexpr const char* kUserdel = "/usr/sbin/userdel";
constexpr const char* kChpasswd = "/usr/sbin/chpasswd";
constexpr const char* kSetpriv = "/usr/bin/setpriv";

std::string randomHex(int digits)
{
    static std::mt19937_64 generator{std::random_device{}()};
    static const char hex[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < digits; ++i)
        text += hex[generator() % 16];
    return text;
}

std::vector<char*> argumentArray(std::vector<std::string>& arguments)
{
    std::vector<char*> array;
    for (auto& argument : arguments)
        array.push_back(argument.data());
    array.push_back(nullptr);
    return array;
}

// Runs a program (absolute path first) with `input` on its standard input; its exit
// status, or -1 when it did not exit normally. Its output goes to `output`.
int runProgram(std::vector<std::string> arguments, const std::string& input, std::string& output)
{
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0)
        return -1;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return -1;
    }
    std::vector<char*> argv = argumentArray(arguments);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(out[1], STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    if (pid > 0 && !input.empty()) {
        // The input is far smaller than a pipe's buffer; a program that exits without
        // reading it must not take the test down with SIGPIPE.
        const auto previous = signal(SIGPIPE, SIG_IGN);
        [[maybe_unused]] const ssize_t written = write(in[1], input.data(), input.size());
        signal(SIGPIPE, previous);
    }
    close(in[1]);
    char buffer[512];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            output.append(buffer, static_cast<size_t>(n));
    close(out[0]);
    if (pid < 0)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The account tools refuse while another process holds the password file lock (tests of
// another run may be creating their own account): such failures are retried.
int runAccountTool(const std::vector<std::string>& arguments, const std::string& input, std::string& output)
{
    int status = -1;
    for (int attempt = 0; attempt < 20; ++attempt) {
        output.clear();
        status = runProgram(arguments, input, output);
        if (status == 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return status;
}

bool executable(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

// Accounts of this naming whose creating process no longer runs.
std::vector<std::string> staleAccounts()
{
    std::vector<std::string> stale;
    std::ifstream passwd("/etc/passwd");
    const std::string prefix = kAccountPrefix;
    for (std::string line; std::getline(passwd, line);) {
        const std::string name = line.substr(0, line.find(':'));
        if (name.rfind(prefix, 0) != 0)
            continue;
        const std::string rest = name.substr(prefix.size());
        const long pid = std::strtol(rest.c_str(), nullptr, 10);
        const bool creatorAlive = pid > 0 && pid != getpid() && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
        if (!creatorAlive)
            stale.push_back(name);
    }
    return stale;
}

// Ends every process that runs as `uid`: an rpcapd left behind by an aborted run.
void killProcessesOf(uid_t uid)
{
    DIR* proc = opendir("/proc");
    if (!proc)
        return;
    const std::string wanted = "Uid:\t" + std::to_string(uid) + "\t";
    while (const dirent* entry = readdir(proc)) {
        const long pid = std::strtol(entry->d_name, nullptr, 10);
        if (pid <= 0)
            continue;
        std::ifstream status(std::string("/proc/") + entry->d_name + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("Uid:", 0) != 0)
                continue;
            if (line.rfind(wanted, 0) == 0)
                kill(static_cast<pid_t>(pid), SIGKILL);
            break;
        }
    }
    closedir(proc);
}

void deleteAccount(const std::string& name)
{
    std::string output;
    // -f: the account goes even while a process of it is still being reaped.
    runAccountTool({kUserdel, "-f", name}, "", output);
}

} // namespace

RpcapdServer::RpcapdServer(std::string rpcapdPath)
    : rpcapdPath_(std::move(rpcapdPath))
{
}

RpcapdServer::~RpcapdServer()
{
    stop();
}

std::string RpcapdServer::unavailableReason(const std::string& rpcapdPath)
{
    if (geteuid() != 0)
        return "the remote capture tests create a system account and need root";
    if (rpcapdPath.empty() || !executable(rpcapdPath))
        return "rpcapd is missing at '" + rpcapdPath + "' (run scripts/setup)";
    for (const char* tool : {kUseradd, kUserdel, kChpasswd, kSetpriv})
        if (!executable(tool))
            return std::string(tool) + " is missing";
    return {};
}

bool RpcapdServer::start(std::string& error)
{
    stop();
    for (const std::string& name : staleAccounts()) {
        if (const passwd* account = getpwnam(name.c_str()); account && account->pw_uid != 0)
            killProcessesOf(account->pw_uid);
        deleteAccount(name);
    }
    if (!createAccount(error))
        return false;

    char logTemplate[] = "/tmp/corvane-rpcapd-XXXXXX";
    const int logFd = mkstemp(logTemplate);
    if (logFd < 0) {
        error = "cannot create rpcapd's log file";
        removeAccount();
        return false;
    }
    close(logFd);
    logPath_ = logTemplate;

    // The free port may be taken again before rpcapd binds it: a few attempts.
    for (int attempt = 0; attempt < 3; ++attempt) {
        port_ = freeLoopbackPort(SOCK_STREAM);
        if (!launch(error)) {
            stop();
            return false;
        }
        if (waitUntilListening())
            return true;
        endProcess();
    }
    error = "rpcapd did not accept connections on 127.0.0.1:" + portText() + "; its output:\n" + log();
    stop();
    return false;
}

bool RpcapdServer::createAccount(std::string& error)
{
    user_ = kAccountPrefix + std::to_string(getpid()) + "-" + randomHex(6);
    password_ = "Cv-" + randomHex(16);
    std::string output;
    if (runAccountTool({kUseradd, "-M", "-s", "/usr/sbin/nologin", "-G", "shadow", user_}, "", output) != 0) {
        error = "useradd " + user_ + " failed: " + output;
        user_.clear();
        return false;
    }
    if (runAccountTool({kChpasswd}, user_ + ":" + password_ + "\n", output) != 0) {
        error = "chpasswd for " + user_ + " failed: " + output;
        removeAccount();
        return false;
    }
    return true;
}

void RpcapdServer::removeAccount()
{
    if (user_.empty())
        return;
    deleteAccount(user_);
    user_.clear();
}

bool RpcapdServer::launch(std::string& error)
{
    const passwd* account = getpwnam(user_.c_str());
    if (!account) {
        error = "account " + user_ + " is not visible";
        return false;
    }
    const std::string uid = std::to_string(account->pw_uid);
    const std::string gid = std::to_string(account->pw_gid);
    std::vector<std::string> arguments{kSetpriv,
                                       "--reuid=" + uid,
                                       "--regid=" + gid,
                                       "--init-groups",
                                       "--inh-caps=+net_raw,+net_admin",
                                       "--ambient-caps=+net_raw,+net_admin",
                                       "--",
                                       rpcapdPath_,
                                       "-4",
                                       "-b",
                                       "127.0.0.1",
                                       "-p",
                                       portText()};
    std::vector<char*> argv = argumentArray(arguments);
    const int logFd = open(logPath_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    const int nullFd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (logFd < 0 || nullFd < 0) {
        error = "cannot open rpcapd's log file";
        if (logFd >= 0)
            close(logFd);
        if (nullFd >= 0)
            close(nullFd);
        return false;
    }
    // rpcapd forks a process per session; made our children when rpcapd ends, they are
    // reaped by endProcess().
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    const pid_t pid = fork();
    if (pid == 0) {
        // Its own process group: the session processes rpcapd forks end with it.
        setpgid(0, 0);
        dup2(nullFd, STDIN_FILENO);
        dup2(logFd, STDOUT_FILENO);
        dup2(logFd, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(logFd);
    close(nullFd);
    if (pid < 0) {
        error = "fork failed";
        return false;
    }
    setpgid(pid, pid); // also here, so the group exists whichever side runs first
    pid_ = pid;
    return true;
}

bool RpcapdServer::waitUntilListening()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1; // it gave up (the port was taken, or setpriv refused)
            return false;
        }
        if (tcpConnects(port_, std::chrono::milliseconds(200)))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void RpcapdServer::endProcess()
{
    if (pid_ <= 0)
        return;
    kill(-pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // The session processes rpcapd forked, and rpcapd itself if it ignored SIGTERM; as
    // their subreaper we reap them all, so none is left behind as a zombie.
    kill(-pid_, SIGKILL);
    for (;;) {
        int status = 0;
        if (waitpid(-pid_, &status, 0) > 0 || errno == EINTR)
            continue;
        break; // ECHILD: the group is gone
    }
    pid_ = -1;
}

void RpcapdServer::stop()
{
    endProcess();
    removeAccount();
    if (!logPath_.empty()) {
        std::remove(logPath_.c_str());
        logPath_.clear();
    }
    port_ = 0;
}

std::string RpcapdServer::log() const
{
    std::ifstream file(logPath_);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace testsupport
