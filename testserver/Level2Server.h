// The test server's level-2 quote server: a TCP line server for the control commands (login
// 4001, channel 4011, cancel 4012, subscribe 4014) that sends quote records to its clients by
// UDP unicast, broadcast, multicast or on the control connection, with switchable faults.
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "testserver/Level2Session.h"

namespace testserver {

// Faults for the next records sent (each used once).
enum class Level2Fault {
    SplitRecord,   // the first record goes out in two writes (two datagrams by UDP)
    MergeRecords,  // the first two records go out in one write (one datagram)
    WrongSize,     // the first record lacks its last byte
    Garbage,       // 100 bytes of no record go out before the records
};

class Level2Server {
public:
    using Options = Level2Options;

    Level2Server();
    explicit Level2Server(Options options);
    ~Level2Server();
    Level2Server(const Level2Server&) = delete;
    Level2Server& operator=(const Level2Server&) = delete;

    // Binds, listens and starts serving. False with ErrorText() when that fails.
    bool Start();
    // Closes every connection and joins the thread. Idempotent.
    void Stop();
    uint16_t Port() const { return port_; }
    std::string ErrorText() const;
    const Options& Settings() const { return options_; }

    // Sends a contract's records, each as one write or datagram, to every client that
    // subscribed the code and has a quote channel, and to every feed. Returns how many
    // destinations got them.
    std::size_t Publish(const std::string& code, const std::vector<std::string>& records);

    // A standing destination that gets every record whatever the subscriptions: a local
    // broadcast or multicast feed without a control connection.
    void AddFeed(const std::string& address, uint16_t port);

    void InjectFault(Level2Fault fault);
    // Closes every control connection as if the network dropped it; returns how many.
    std::size_t DropControlConnections();

    // Live control connections, logged in or not.
    std::size_t ConnectionCount() const;
    // Clients with a quote channel open.
    std::size_t ChannelCount() const;
    bool WaitForChannels(std::size_t count, std::chrono::milliseconds timeout) const;
    // Codes subscribed over all connections.
    std::set<std::string> Subscribed() const;
    bool WaitForSubscribed(const std::string& code, std::chrono::milliseconds timeout) const;
    // Every command line received, in order, without its line end.
    std::vector<std::string> Commands() const;

private:
    struct Connection;

    void Serve(std::stop_token stop);
    void Accept();
    void Read(Connection& connection);
    bool Send(Connection& connection, const std::string& bytes);
    void CloseLocked(Connection& connection);
    std::size_t ChannelCountLocked() const;

    Options options_;
    int listenFd_ = -1;
    int udpFd_ = -1;
    int wakeFd_ = -1;
    uint16_t port_ = 0;
    std::jthread thread_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::string error_;
    std::vector<std::unique_ptr<Connection>> connections_;
    std::vector<sockaddr_in> feeds_;
    std::optional<Level2Fault> fault_;
    std::vector<std::string> commands_;
};

}  // namespace testserver
