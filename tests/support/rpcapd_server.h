// Runs rpcapd on 127.0.0.1 for the remote capture tests, under a throw-away system account.
//
// rpcapd checks a user name and password against the system accounts (getspnam + crypt)
// and, once they match, switches to that user with setuid(). The account is therefore an
// ordinary one in group "shadow" (so the hashes can be read), and rpcapd runs as that
// account from the start, with the ambient capabilities CAP_NET_RAW and CAP_NET_ADMIN:
// setuid() to its own uid keeps them, so the session can still open interfaces. Null
// authentication stays off.
//
// Accounts are named "corvanetest-<pid>-<hex>". An account whose creating process is gone
// (an aborted run) is removed, with any process still running as it, before a new one is
// made. Root only.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace testsupport {

class RpcapdServer {
public:
    explicit RpcapdServer(std::string rpcapdPath);
    ~RpcapdServer(); // stop()
    RpcapdServer(const RpcapdServer&) = delete;
    RpcapdServer& operator=(const RpcapdServer&) = delete;

    // Why the server cannot run on this machine (not root, a program missing), or empty.
    static std::string unavailableReason(const std::string& rpcapdPath);

    // Creates the account and starts rpcapd on a free port of 127.0.0.1, returning once it
    // accepts connections. False with `error` (including rpcapd's output) otherwise.
    bool start(std::string& error);
    // Ends rpcapd and the session processes it forked, and removes the account.
    void stop();

    uint16_t port() const { return port_; }
    std::string portText() const { return std::to_string(port_); }
    const std::string& user() const { return user_; }
    const std::string& password() const { return password_; }
    std::string log() const; // what rpcapd wrote so far

private:
    bool createAccount(std::string& error);
    void removeAccount();
    bool launch(std::string& error);
    bool waitUntilListening();
    void endProcess();

    std::string rpcapdPath_;
    std::string user_;
    std::string password_;
    std::string logPath_;
    pid_t pid_ = -1;
    uint16_t port_ = 0;
};

} // namespace testsupport
