// The test server's UDP quote side: takes registrations, keep-alives, subscriptions and
// unregistrations from clients on a loopback UDP port, sends them data messages (type 4),
// and can stay silent or send raw datagrams for the clients' fault handling.
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testserver {

// One message as the server read it from a datagram.
struct UdpMessage {
    sockaddr_in from{};
    uint16_t length = 0;  // the message's own length field
    uint8_t version = 0;
    uint8_t type = 0;
    std::string payload;
};

class UdpQuoteServer {
public:
    struct Options {
        std::string address = "127.0.0.1";
        uint16_t port = 0;  // 0 picks a free port; Port() tells which
    };

    UdpQuoteServer();
    explicit UdpQuoteServer(Options options);
    ~UdpQuoteServer();
    UdpQuoteServer(const UdpQuoteServer&) = delete;
    UdpQuoteServer& operator=(const UdpQuoteServer&) = delete;

    // Binds and starts reading. False with ErrorText() when that fails.
    bool Start();
    // Ends the reading thread and closes the socket. Idempotent.
    void Stop();
    uint16_t Port() const { return port_; }
    std::string ErrorText() const;

    // While silent the server records what arrives and answers nothing (no acknowledgement,
    // no keep-alive answer). Off by default.
    void SetSilent(bool silent);

    // Sends one data message with the payload to every registered client: how many got it.
    std::size_t SendData(const std::string& payload);
    // Sends bytes as they stand to every registered client (bad lengths, several messages).
    std::size_t SendRaw(const std::string& datagram);
    // Sends bytes as they stand to one address.
    bool SendRawTo(const sockaddr_in& to, const std::string& datagram);

    // Every well-formed message received, in order (answered or not).
    std::vector<UdpMessage> Messages() const;
    std::size_t CountMessages(uint8_t type) const;
    // True once at least count messages of the type have arrived within timeout.
    bool WaitForMessages(uint8_t type, std::size_t count, std::chrono::milliseconds timeout) const;
    // Registered clients (registered and not unregistered since).
    std::vector<sockaddr_in> Clients() const;

    // A data message as the server sends it (for tests that compose datagrams).
    static std::string DataMessage(const std::string& payload);

private:
    void Serve(std::stop_token stop);
    void Handle(const sockaddr_in& from, const uint8_t* data, std::size_t length);
    bool SendTo(const sockaddr_in& to, const std::string& datagram);

    Options options_;
    int socket_ = -1;
    int wakeFd_ = -1;
    uint16_t port_ = 0;
    std::jthread thread_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::string error_;
    bool silent_ = false;
    std::vector<UdpMessage> messages_;
    std::vector<sockaddr_in> clients_;
};

}  // namespace testserver
