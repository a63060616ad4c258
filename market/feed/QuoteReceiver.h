// CQuoteReceiver: the quote sockets that are not FixApi connections (the multicast feed, the
// level-2 quote socket and the level-2 control connection), shared between the thread that
// opens and closes them and the quote thread, which blocks on all of them at once and hands
// whatever arrives to the quote processor.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "market/feed/Level2Framing.h"
#include "market/feed/QuoteProcessor.h"

namespace market::feed {

enum class QuoteSocketSlot : uint8_t { kMulticast, kLevel2Quote, kControl };
inline constexpr int kQuoteSocketSlots = 3;

// One socket, closed when the last holder lets it go: a thread that took it out of the
// receiver keeps its descriptor number from being reused while it still sends or reads.
class QuoteSocket {
public:
    explicit QuoteSocket(int fd) : fd_(fd) {}
    ~QuoteSocket();
    QuoteSocket(const QuoteSocket&) = delete;
    QuoteSocket& operator=(const QuoteSocket&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};
using QuoteSocketRef = std::shared_ptr<QuoteSocket>;

// A dotted IPv4 multicast-capable address other than 0.0.0.0; false for anything else.
bool ParseGroupAddress(std::string_view text, uint32_t& networkOrder);

class CQuoteReceiver {
public:
    struct Hooks {
        // One line of the debug output; default: the daily trace file.
        std::function<void(std::string_view)> debug;
    };

    explicit CQuoteReceiver(CQuoteProcessor& processor, Hooks hooks = {});
    // Closes every socket; the quote thread must have stopped stepping.
    ~CQuoteReceiver();
    CQuoteReceiver(const CQuoteReceiver&) = delete;
    CQuoteReceiver& operator=(const CQuoteReceiver&) = delete;

    // (Re)opens the datagram socket of a slot on the port: joined to the group when the group
    // is a valid address, else taking broadcasts (SO_BROADCAST); SO_REUSEADDR either way.
    // Port 0, or any failure, leaves the slot closed. True when the slot is open.
    bool JoinMulticast(QuoteSocketSlot slot, uint16_t port, std::string_view group);
    // Takes a connected control socket. In the TCP quote mode its bytes are read here (quote
    // records, answers; `initial` are bytes already read behind the login answer); otherwise
    // only its closing is watched.
    void AdoptControl(int fd, bool tcpMode, std::string_view initial = {});

    // The socket of a slot, null when closed. The holder may keep using it after a close.
    QuoteSocketRef Socket(QuoteSocketSlot slot) const;
    bool IsOpen(QuoteSocketSlot slot) const { return Socket(slot) != nullptr; }
    // Closes the slot; with `expected`, only while it still holds that socket.
    void Close(QuoteSocketSlot slot, const QuoteSocket* expected = nullptr);
    void CloseAll();
    // Whether the control socket carries the quotes (TCP mode).
    bool ControlCarriesQuotes() const;

    // One step of the quote thread: blocks until a socket is readable, closed, or Wake() is
    // called, then serves what is ready. Returns the number of sockets served.
    int Step();
    // Ends a blocked Step early; any thread.
    void Wake();

    // Times Step returned from its wait; and datagrams and stream frames handed on.
    uint64_t WaitReturns() const { return waitReturns_.load(std::memory_order_relaxed); }
    uint64_t Received() const { return received_.load(std::memory_order_relaxed); }
    // Called after every datagram and stream record is applied (benchmarks, tests); may be
    // empty. Set before the quote thread starts.
    void SetAfterRecord(std::function<void()> afterRecord) {
        afterRecord_ = std::move(afterRecord);
    }

private:
    struct Slot {
        QuoteSocketRef socket;
        uint32_t generation = 0;
        bool stream = false;  // TCP mode: read and reassembled
    };
    void install(QuoteSocketSlot slot, QuoteSocketRef socket, uint32_t events, bool stream);
    void closeLocked(Slot& slot);
    void serveDatagrams(const QuoteSocketRef& socket);
    void serveStream(QuoteSocketSlot slot, const QuoteSocketRef& socket);
    void debug(std::string_view line);

    CQuoteProcessor& processor_;
    Hooks hooks_;
    int epoll_ = -1;
    int wake_ = -1;
    mutable std::mutex lock_;
    Slot slots_[kQuoteSocketSlots];
    // Only the quote thread touches the stream buffer, except AdoptControl, which refills it
    // under streamLock_ before the new socket is registered.
    std::mutex streamLock_;
    ControlStreamBuffer stream_;
    std::function<void()> afterRecord_;
    std::atomic<uint64_t> waitReturns_{0};
    std::atomic<uint64_t> received_{0};
};

}  // namespace market::feed
