// The level-2 control protocol. Answers are read framed (the login answer is exactly its record
// or one text line), so a split answer is never taken for text and nothing behind an answer is
// swallowed; in the TCP quote mode the worker only sends, and the quote thread's reassembly
// reads every answer.
#include "market/feed/Level2Control.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "comm/SocketTimeouts.h"
#include "platform/core/Clock.h"
#include "record/Configure.h"
#include "record/FixRecord.h"
#include "shell/services/LogLine.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Registries.h"

namespace market::feed {

namespace {

constexpr uint32_t kWatchedReasons = 0xff00;
constexpr double kStaleQuoteUs = 10'000'000.0;

bool ListHolds(std::string_view list, std::string_view code) {
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t cut = list.find(';', start);
        if (cut == std::string_view::npos) cut = list.size();
        if (list.substr(start, cut - start) == code) return true;
        start = cut + 1;
    }
    return false;
}

std::vector<std::string> SplitList(std::string_view list) {
    if (list.empty()) return {};
    return SplitItems(list, ';');
}

// The codes of a table's watched rows, read under its lock (released before the caller looks
// anything up in another table).
std::vector<std::pair<std::string, std::string>> WatchedCodes(CFixRecord& table, uint32_t codeTag,
                                                              uint32_t secondTag) {
    std::vector<std::pair<std::string, std::string>> codes;
    if (!table.IsCreate()) return codes;
    table.acquireLockExclusive();
    const int count = table.GetCount();
    for (int r = 0; r < count; ++r) {
        if ((static_cast<uint32_t>(table.GetLong(644, r)) & kWatchedReasons) == 0) continue;
        codes.emplace_back(table.Get(codeTag, r), secondTag != 0 ? table.Get(secondTag, r) : "");
    }
    table.releaseLockExclusive();
    return codes;
}

bool ValidDottedAddress(const std::string& text) {
    in_addr address{};
    return !text.empty() && inet_pton(AF_INET, text.c_str(), &address) == 1;
}

}  // namespace

bool AppendSubscriptionCode(std::string& list, std::size_t capacity, std::string_view code,
                            const std::function<void(std::string_view)>& debug) {
    if (code.empty() || ListHolds(list, code)) return false;
    if (list.size() + code.size() + 2 > capacity) {
        if (debug) debug("Subscibe code too many!\n");
        return false;
    }
    if (!list.empty()) list += ';';
    list += code;
    return true;
}

std::string BuildSubscriptionList(std::size_t capacity,
                                  const std::function<void(std::string_view)>& debug) {
    using namespace tradedata;
    std::string list;
    auto add = [&](std::string_view code) { AppendSubscriptionCode(list, capacity, code, debug); };
    for (const auto& code : WatchedCodes(FuturesContractTable, 719, 0)) add(code.first);
    for (const auto& code : WatchedCodes(CombinationContractTable, 1060, 0)) add(code.first);
    for (const auto& [option, underlying] : WatchedCodes(OptionContractTable, 9100, 719)) {
        add(option);
        int32_t kind = -1;
        const RowRef ref = FindContractKind(underlying.c_str(), &kind);
        std::string traded;
        if (ref >= 0 && kind == kUnderlyingKind) traded = GetRowString(1566, ref);
        add(traded.empty() ? underlying : traded);
    }
    std::vector<std::string> windows;
    if (QuoteSubscriptionTable.IsCreate()) {
        QuoteSubscriptionTable.acquireLockExclusive();
        const int count = QuoteSubscriptionTable.GetCount();
        for (int r = 0; r < count; ++r) windows.push_back(QuoteSubscriptionTable.Get(719, r));
        QuoteSubscriptionTable.releaseLockExclusive();
    }
    for (const std::string& code : windows) add(code);
    return list;
}

Level2Settings ReadLevel2Settings() {
    Level2Settings settings;
    settings.address = pavlet::ReadConfigure("SYSTEM", "Level2ControlAddr", "");
    settings.controlPort = pavlet::ReadConfigInt("SYSTEM", "Level2ControlPort", 0, 0, 0);
    settings.quotePort = pavlet::ReadConfigInt("SYSTEM", "Level2QuotePort", 20000, 0, 0);
    return settings;
}

CLevel2Control::CLevel2Control(std::atomic<uint32_t>& frameState, CQuoteReceiver& receiver,
                               Hooks hooks)
    : frameState_(frameState), receiver_(receiver), hooks_(std::move(hooks)) {}

void CLevel2Control::debug(std::string_view line) const {
    if (hooks_.debug)
        hooks_.debug(line);
    else
        shell::WriteLogLine(line);
}

int64_t CLevel2Control::now() const { return hooks_.nowMs ? hooks_.nowMs() : platform::TickMs(); }

void CLevel2Control::failed() {
    nextAttemptMs_ = now() + backoffMs_;
    backoffMs_ = std::min(backoffMs_ * 2, kLastBackoffMs);
}

bool CLevel2Control::ReconnectDue() const {
    return (frameState_.load() & kFrameLevel2Active) != 0 &&
           !receiver_.IsOpen(QuoteSocketSlot::kControl) && now() >= nextAttemptMs_;
}

bool CLevel2Control::sendLine(int fd, const std::string& line) {
    std::size_t sent = 0;
    while (sent < line.size()) {
        const int32_t n = NoltComm::SendWithTimeout(
            fd, line.data() + sent, static_cast<int32_t>(line.size() - sent), kLevel2TimeoutMs);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

CLevel2Control::Read CLevel2Control::readFrame(int fd, bool login, ControlFrame& frame,
                                               std::string& bytes) {
    const int64_t deadline = platform::TickMs() + kLevel2TimeoutMs;
    for (;;) {
        std::string_view view;
        frame = answers_.Next(view, login);
        if (frame.kind == ControlFrameKind::kGarbage) return Read::kGarbage;
        if (frame.kind != ControlFrameKind::kNeedMore) {
            bytes.assign(view);
            return Read::kFrame;
        }
        const int64_t left = deadline - platform::TickMs();
        if (left <= 0) return Read::kNothing;
        char buffer[2048];
        const int32_t got = NoltComm::RecvWithTimeout(fd, buffer, sizeof buffer, left);
        if (got == 0) return Read::kClosed;
        if (got < 0) return errno == EAGAIN ? Read::kNothing : Read::kClosed;
        answers_.Append(buffer, static_cast<std::size_t>(got));
    }
}

bool CLevel2Control::command(const QuoteSocketRef& socket, const std::string& line,
                             bool readAnswer) {
    if (!sendLine(socket->fd(), line)) {
        debug(fmt::format("send {} error[{}]\r\n", line.substr(0, 4), errno));
        return false;
    }
    if (!readAnswer) return true;
    ControlFrame frame;
    std::string bytes;
    const Read read = readFrame(socket->fd(), false, frame, bytes);
    if (read == Read::kFrame) {
        debug(DescribeControlFrame(frame.kind, bytes));
        return true;
    }
    if (read == Read::kNothing) return true;  // the answer is only ever logged
    debug(read == Read::kGarbage ? DescribeControlFrame(ControlFrameKind::kGarbage, {})
                                 : "level-2 control connection closed by the server\r\n");
    receiver_.Close(QuoteSocketSlot::kControl, socket.get());
    return false;
}

bool CLevel2Control::grant(int32_t mode, const std::string& group, int32_t port, int fd,
                           const Level2Settings& settings) {
    auto openQuoteSocket = [this](int32_t p, std::string_view multicastGroup) {
        return p > 0 && p <= 65535 &&
               receiver_.JoinMulticast(QuoteSocketSlot::kLevel2Quote, static_cast<uint16_t>(p),
                                       multicastGroup);
    };
    switch (mode) {
        case 1: {  // quotes on this connection
            std::string rest = answers_.TakeRest();
            if (!sendLine(fd, "4011|tcp\r\n")) {
                debug(fmt::format("send 4011 error[{}]\r\n", errno));
                return false;
            }
            shell::SetQuoteSourceState(kQuoteStateLevel2 | kQuoteStateLevel2Tcp);
            frameState_.fetch_or(kFrameLevel2Active | kFrameSubscriptionPending);
            receiver_.AdoptControl(fd, true, rest);
            return true;
        }
        case 4: {  // broadcast on our own quote port, opened by 4011
            const int32_t quotePort = settings.quotePort;
            if (!openQuoteSocket(quotePort, "")) {
                debug(fmt::format("init broadcast at {} error\r\n", quotePort));
                break;
            }
            if (!sendLine(fd, fmt::format("4011|udp|{}\r\n", quotePort))) {
                debug(fmt::format("send 4011 error[{}]\r\n", errno));
                break;
            }
            ControlFrame frame;
            std::string bytes;
            if (readFrame(fd, false, frame, bytes) == Read::kFrame)
                debug(DescribeControlFrame(frame.kind, bytes));
            frameState_.fetch_or(kFrameLevel2Active | kFrameSubscriptionPending);
            shell::SetQuoteSourceState(kQuoteStateLevel2 | kQuoteStateLevel2Broadcast);
            break;
        }
        case 5:  // the server's own port
            if (!openQuoteSocket(port, "")) {
                debug(fmt::format("init broadcast at {} error\r\n", port));
                break;
            }
            frameState_.fetch_or(kFrameLevel2Active);
            shell::SetQuoteSourceState(kQuoteStateLevel2 | kQuoteStateLevel2Port);
            break;
        case 6:  // the server's group and port
            if (!openQuoteSocket(port, group)) {
                debug(fmt::format("init broadcast at {}.{} error\r\n", group, port));
                break;
            }
            frameState_.fetch_or(kFrameLevel2Active);
            shell::SetQuoteSourceState(kQuoteStateLevel2 | kQuoteStateLevel2Group);
            break;
        default:
            break;
    }
    return false;
}

void CLevel2Control::ConnectLevel2Server() {
    const Level2Settings settings = hooks_.settings ? hooks_.settings() : ReadLevel2Settings();
    debug(fmt::format("Level2ControlAddr={} Level2ControlPort={} Level2QuotePort={}\r\n",
                      settings.address, settings.controlPort, settings.quotePort));
    if (!ValidDottedAddress(settings.address) || settings.controlPort < 1 ||
        settings.controlPort > 65535) {
        frameState_.fetch_and(~kFrameLevel2Active);
        return;
    }
    const int fd =
        NoltComm::ConnectWithTimeout(settings.address, settings.controlPort, kLevel2TimeoutMs);
    if (fd < 0) {
        debug(fmt::format("connectting to {}:{} error({})\r\n", settings.address,
                          settings.controlPort, errno));
        failed();
        return;
    }
    // Until the socket is handed to the receiver it is this function's to close.
    auto give_up = [&] {
        ::close(fd);
        failed();
    };
    answers_.Clear();
    const std::string customer = hooks_.customer ? hooks_.customer() : std::string();
    const std::string password =
        hooks_.scrambledPassword ? hooks_.scrambledPassword() : std::string();
    if (!sendLine(fd, "4001|" + customer + "|" + password + "\r\n")) {
        // A socket that never logged in is not kept: nothing could be sent on it.
        debug(fmt::format("send 4001 error[{}]\r\n", errno));
        give_up();
        return;
    }
    ControlFrame frame;
    std::string bytes;
    const Read read = readFrame(fd, true, frame, bytes);
    if (read != Read::kFrame) {
        if (read == Read::kGarbage)
            debug(DescribeControlFrame(ControlFrameKind::kGarbage, {}));
        else
            debug(fmt::format("no response from {}:{}\n", settings.address, settings.controlPort));
        give_up();
        return;
    }
    backoffMs_ = kFirstBackoffMs;
    nextAttemptMs_ = now() + backoffMs_;
    debug(DescribeControlFrame(frame.kind, bytes));
    int32_t mode = 0;
    std::string group;
    int32_t port = 0;
    if (frame.kind == ControlFrameKind::kLoginAnswer) {
        Level2LoginAnswer answer;
        DecodeLevel2LoginAnswer(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                answer);
        mode = answer.mode;
        group = answer.group;
        port = answer.port;
    } else {
        // The text modes 1, 2 and 3 are the record modes 4, 5 and 6.
        const Level2TextLogin text = ParseTextLogin(bytes);
        static constexpr int32_t kTextModes[] = {0, 4, 5, 6};
        mode = text.mode >= 1 && text.mode <= 3 ? kTextModes[text.mode] : 0;
        group = text.group;
        port = text.port;
    }
    const bool tcp = grant(mode, group, port, fd, settings);
    // The connection stays for the commands; without the TCP mode only its closing is
    // watched, so that the quote thread notices a server that went away.
    if (!tcp) receiver_.AdoptControl(fd, false, answers_.TakeRest());
}

bool CLevel2Control::SubscribeQuotes() {
    const bool push = hooks_.pushConnected && hooks_.pushConnected();
    const bool quoteServer = hooks_.quoteServerConnected && hooks_.quoteServerConnected();
    const QuoteSocketRef control = receiver_.Socket(QuoteSocketSlot::kControl);
    const bool multicast = (frameState_.load() & kFrameMulticastFeedOpen) != 0;
    if (!((push && !multicast) || quoteServer || control)) return push;

    const auto log = [this](std::string_view line) { debug(line); };
    const std::string list = BuildSubscriptionList(kSubscriptionCapacity, log);
    const std::string text = list.empty() ? std::string() : "719:" + list;

    if (list != lastList_) {
        const int64_t nowUs = platform::TickUs();
        for (const std::string& code : SplitList(list)) {
            if (ListHolds(lastList_, code)) continue;
            const tradedata::RowRef ref = tradedata::FindContract(code.c_str());
            if (ref < 0) continue;
            if (static_cast<double>(nowUs) - tradedata::GetRowDouble(3203, ref) > kStaleQuoteUs)
                tradedata::UpdateContractFlags(0x1, 0, ref);
        }
        lastList_ = list;
        frameState_.fetch_or(kFrameCodeListChanged);
    }
    if (text == lastText_) return push;
    // A failed subscription is tried again, but not on every round.
    if (now() < nextSubscribeMs_) return false;

    bool ok = true;
    if (control) {
        const bool readAnswers = !receiver_.ControlCarriesQuotes();
        ok = command(control, "4012|all\r\n", readAnswers);
        if (ok && !list.empty()) {
            std::string items = list;
            for (char& c : items)
                if (c == ';') c = '|';
            const char* channel =
                (shell::GetQuoteSourceState() & kQuoteStateLevel2Tcp) != 0 ? "tcp" : "udp";
            ok = command(control, fmt::format("4014|{}|{}\r\n", channel, items), readAnswers);
        }
    }
    if (ok && hooks_.renewPushSubscription)
        ok = hooks_.renewPushSubscription("range(" + list + ")");
    if (!ok) {
        nextSubscribeMs_ = now() + subscribeBackoffMs_;
        subscribeBackoffMs_ = std::min(subscribeBackoffMs_ * 2, kLastBackoffMs);
        return false;
    }
    // Only a subscription that went through is the last one: a failed one is sent again.
    lastText_ = text;
    subscribeBackoffMs_ = kFirstBackoffMs;
    nextSubscribeMs_ = 0;
    return push;
}

void CLevel2Control::CancelAll() {
    const QuoteSocketRef control = receiver_.Socket(QuoteSocketSlot::kControl);
    if (!control) return;
    // At exit nothing waits for the answer: the quote thread has stopped reading.
    sendLine(control->fd(), "4012|all\r\n");
}

}  // namespace market::feed
