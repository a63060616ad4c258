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

namespace testserver {

enum class Level2LoginForm {
    Record,  // the 68-byte login record; modes 1 (TCP), 4 (UDP, port from 4011), 5 (UDP on
             // the named port), 6 (multicast group and port)
    Text,    // the line "4001|khh|mode|group|port"; modes 1 (as record 4), 2 (as 5), 3 (as 6)
};

// Faults for the next records sent (each used once).
enum class Level2Fault {
    SplitRecord,   // the first record goes out in two writes (two datagrams by UDP)
    MergeRecords,  // the first two records go out in one write (one datagram)
    WrongSize,     // the first record lacks its last byte
    Garbage,       // 100 bytes of no record go out before the records
};

class Level2Server {
public:
    struct Options {
        std::string address = "127.0.0.1";
        uint16_t port = 0;  // control port; 0 picks a free one, Port() tells which
        Level2LoginForm form = Level2LoginForm::Record;
        int32_t mode = 1;                   // the mode the login answer grants
        std::string group = "239.255.0.1";  // the multicast group named (record 6, text 3)
        uint16_t quotePort = 0;             // the UDP port named (record 5 and 6, text 2 and 3)
        // UDP quotes go to the control connection's peer unless broadcast is set, then to
        // the broadcast address (the quote port stays the client's).
        bool broadcast = false;
        std::string broadcastAddress = "127.255.255.255";
        std::string multicastInterface = "127.0.0.1";
        char answerType = 'A';  // the type character of the binary answers
    };

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
    void Handle(Connection& connection, const std::string& line);
    void Login(Connection& connection, const std::vector<std::string>& items);
    bool OpenUdpChannel(Connection& connection, const std::string& address, uint16_t port);
    bool Send(Connection& connection, const std::string& bytes);
    void CloseLocked(Connection& connection);

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
