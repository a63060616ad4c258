// The quote sockets and the quote thread's step. Every open, close and look-up of a slot is
// under one lock, and an epoll registration is removed under that lock before the slot lets
// its socket go; events carry the slot's generation, so an event that was already fetched for
// a socket closed since (or for a descriptor number reused since) is recognised and dropped.
#include "market/feed/QuoteReceiver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "shell/services/LogLine.h"

namespace market::feed {

namespace {

constexpr uint64_t kWakeTag = ~uint64_t{0};
// One receive of the level-2 reading takes at most this much.
constexpr std::size_t kReceiveBytes = 2048;
// Datagrams taken from one socket per step, so no socket starves the others.
constexpr int kDatagramsPerStep = 64;

uint64_t Tag(QuoteSocketSlot slot, uint32_t generation) {
    return static_cast<uint64_t>(generation) << 8 | static_cast<uint64_t>(slot);
}

}  // namespace

QuoteSocket::~QuoteSocket() {
    if (fd_ >= 0) ::close(fd_);
}

bool ParseGroupAddress(std::string_view text, uint32_t& networkOrder) {
    if (text.empty() || text.size() > 15) return false;
    const std::string copy(text);
    in_addr address{};
    if (inet_pton(AF_INET, copy.c_str(), &address) != 1 || address.s_addr == 0) return false;
    networkOrder = address.s_addr;
    return true;
}

CQuoteReceiver::CQuoteReceiver(CQuoteProcessor& processor, Hooks hooks)
    : processor_(processor), hooks_(std::move(hooks)) {
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (epoll_ >= 0 && wake_ >= 0) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = kWakeTag;
        epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event);
    }
}

CQuoteReceiver::~CQuoteReceiver() {
    CloseAll();
    if (wake_ >= 0) ::close(wake_);
    if (epoll_ >= 0) ::close(epoll_);
}

void CQuoteReceiver::debug(std::string_view line) {
    if (hooks_.debug)
        hooks_.debug(line);
    else
        shell::WriteLogLine(line);
}

bool CQuoteReceiver::JoinMulticast(QuoteSocketSlot slot, uint16_t port, std::string_view group) {
    Close(slot);
    if (port == 0) return false;
    uint32_t groupAddress = 0;
    const bool joined = ParseGroupAddress(group, groupAddress);
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    auto socket = std::make_shared<QuoteSocket>(fd);
    const int one = 1;
    if (!joined && setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one) != 0) return false;
    if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0) return false;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) return false;
    if (joined) {
        ip_mreq membership{};
        membership.imr_multiaddr.s_addr = groupAddress;
        membership.imr_interface.s_addr = htonl(INADDR_ANY);
        if (setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) != 0)
            return false;
    }
    install(slot, std::move(socket), EPOLLIN, false);
    return true;
}

void CQuoteReceiver::AdoptControl(int fd, bool tcpMode, std::string_view initial) {
    if (fd < 0) {
        Close(QuoteSocketSlot::kControl);
        return;
    }
    {
        std::lock_guard hold(streamLock_);
        stream_.Clear();
        stream_.Append(initial.data(), initial.size());
    }
    // Without the TCP mode the worker reads the answers itself; only a close is watched.
    install(QuoteSocketSlot::kControl, std::make_shared<QuoteSocket>(fd),
            tcpMode ? EPOLLIN | EPOLLRDHUP : EPOLLRDHUP, tcpMode);
    // Records that came with the login answer are served by the next step.
    if (tcpMode && !initial.empty()) Wake();
}

void CQuoteReceiver::install(QuoteSocketSlot slot, QuoteSocketRef socket, uint32_t events,
                             bool stream) {
    std::lock_guard hold(lock_);
    Slot& s = slots_[static_cast<int>(slot)];
    closeLocked(s);
    s.socket = std::move(socket);
    s.stream = stream;
    epoll_event event{};
    event.events = events;
    event.data.u64 = Tag(slot, s.generation);
    epoll_ctl(epoll_, EPOLL_CTL_ADD, s.socket->fd(), &event);
}

void CQuoteReceiver::closeLocked(Slot& slot) {
    ++slot.generation;
    if (!slot.socket) return;
    epoll_ctl(epoll_, EPOLL_CTL_DEL, slot.socket->fd(), nullptr);
    // A holder blocked on the socket (a worker waiting for an answer) returns at once.
    shutdown(slot.socket->fd(), SHUT_RDWR);
    slot.socket.reset();
    slot.stream = false;
}

QuoteSocketRef CQuoteReceiver::Socket(QuoteSocketSlot slot) const {
    std::lock_guard hold(lock_);
    return slots_[static_cast<int>(slot)].socket;
}

void CQuoteReceiver::Close(QuoteSocketSlot slot, const QuoteSocket* expected) {
    std::lock_guard hold(lock_);
    Slot& s = slots_[static_cast<int>(slot)];
    if (expected != nullptr && s.socket.get() != expected) return;
    closeLocked(s);
}

void CQuoteReceiver::CloseAll() {
    for (int i = 0; i < kQuoteSocketSlots; ++i) Close(static_cast<QuoteSocketSlot>(i));
}

bool CQuoteReceiver::ControlCarriesQuotes() const {
    std::lock_guard hold(lock_);
    const Slot& s = slots_[static_cast<int>(QuoteSocketSlot::kControl)];
    return s.socket && s.stream;
}

void CQuoteReceiver::Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wake_, &one, sizeof one);
}

int CQuoteReceiver::Step() {
    epoll_event events[kQuoteSocketSlots + 1];
    const int n = epoll_wait(epoll_, events, kQuoteSocketSlots + 1, -1);
    waitReturns_.fetch_add(1, std::memory_order_relaxed);
    if (n <= 0) return 0;
    int served = 0;
    for (int i = 0; i < n; ++i) {
        const uint64_t tag = events[i].data.u64;
        if (tag == kWakeTag) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = read(wake_, &count, sizeof count);
            continue;
        }
        const auto slot = static_cast<QuoteSocketSlot>(tag & 0xff);
        const auto generation = static_cast<uint32_t>(tag >> 8);
        QuoteSocketRef socket;
        bool stream = false;
        {
            std::lock_guard hold(lock_);
            const Slot& s = slots_[static_cast<int>(slot)];
            if (s.generation != generation || !s.socket) continue;  // closed since
            socket = s.socket;
            stream = s.stream;
        }
        ++served;
        const uint32_t what = events[i].events;
        if (slot == QuoteSocketSlot::kControl && !stream) {
            // Only the close was asked for: the peer is gone.
            debug("level-2 control connection closed by the server\r\n");
            Close(slot, socket.get());
        } else if (stream) {
            serveStream(slot, socket);
        } else if ((what & EPOLLIN) != 0 || (what & EPOLLERR) != 0) {
            serveDatagrams(socket);
        } else if ((what & EPOLLHUP) != 0) {
            Close(slot, socket.get());
        }
    }
    return served;
}

void CQuoteReceiver::serveDatagrams(const QuoteSocketRef& socket) {
    uint8_t buffer[kReceiveBytes];
    for (int i = 0; i < kDatagramsPerStep; ++i) {
        const ssize_t got = recv(socket->fd(), buffer, sizeof buffer, MSG_DONTWAIT);
        // A receive error (a pending ICMP error, say) is taken and the socket kept open.
        if (got < 0) return;
        received_.fetch_add(1, std::memory_order_relaxed);
        processor_.ProcessLevel2Datagram(buffer, static_cast<std::size_t>(got));
        if (afterRecord_) afterRecord_();
    }
}

void CQuoteReceiver::serveStream(QuoteSocketSlot slot, const QuoteSocketRef& socket) {
    uint8_t buffer[kReceiveBytes];
    const ssize_t got = recv(socket->fd(), buffer, sizeof buffer, MSG_DONTWAIT);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (got <= 0) {
        // A stream that reports an error or its end would wake every wait from now on.
        debug("level-2 control connection closed by the server\r\n");
        Close(slot, socket.get());
        return;
    }
    std::unique_lock hold(streamLock_);
    stream_.Append(buffer, static_cast<std::size_t>(got));
    std::string_view bytes;
    for (;;) {
        const ControlFrame frame = stream_.Next(bytes);
        if (frame.kind == ControlFrameKind::kNeedMore) return;
        if (frame.kind == ControlFrameKind::kGarbage) {
            stream_.Clear();
            hold.unlock();
            debug(DescribeControlFrame(frame.kind, bytes));
            Close(slot, socket.get());
            return;
        }
        if (frame.kind == ControlFrameKind::kQuoteRecord) {
            received_.fetch_add(1, std::memory_order_relaxed);
            processor_.ProcessLevel2Datagram(bytes.data(), bytes.size());
            if (afterRecord_) afterRecord_();
        } else {
            debug(DescribeControlFrame(frame.kind, bytes));
        }
    }
}

}  // namespace market::feed
