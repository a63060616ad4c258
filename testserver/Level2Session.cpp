// The level-2 control protocol of one connection: its lines and their answers.
#include "testserver/Level2Session.h"

#include <arpa/inet.h>

#include "platform/core/Numbers.h"
#include "testserver/Ipv4Address.h"
#include "testserver/QuoteRecords.h"

namespace testserver {

namespace {

constexpr std::size_t kMaxLine = 8192;

std::vector<std::string> SplitItems(const std::string& line) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t cut = line.find('|', start);
        items.push_back(line.substr(start, cut - start));
        if (cut == std::string::npos) return items;
        start = cut + 1;
    }
}

std::string PeerAddress(const sockaddr_in& peer) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    return text;
}

}  // namespace

Level2Session::Level2Session(const Level2Options& options, const sockaddr_in& peer)
    : options_(options), peer_(peer) {}

std::vector<Level2Session::Reply> Level2Session::Receive(std::string_view bytes) {
    std::vector<Reply> replies;
    if (broken_) return replies;
    buffer_.append(bytes);
    std::size_t start = 0;
    std::size_t end;
    while ((end = buffer_.find('\n', start)) != std::string::npos) {
        std::string line = buffer_.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string answer = Answer(line);
        replies.push_back({std::move(line), std::move(answer)});
    }
    buffer_.erase(0, start);
    if (buffer_.size() > kMaxLine) {
        broken_ = true;
        buffer_.clear();
    }
    return replies;
}

std::string Level2Session::Answer(const std::string& line) {
    const std::vector<std::string> items = SplitItems(line);
    const std::string& command = items[0];
    if (command == "4001") return Login(items);
    if (!loggedIn_) return "-1|not logged in\r\n";
    if (command == "4011" && items.size() >= 2 && items[1] == "tcp") {
        channel_ = Level2Channel::Tcp;
        return "4011|0|tcp\r\n";
    }
    if (command == "4011" && items.size() >= 3 && items[1] == "udp") {
        const int32_t port = platform::AtolSat(items[2]);
        if (port < 1 || port > 65535) return "-1|bad port\r\n";
        OpenUdpChannel(options_.broadcast ? options_.broadcastAddress : PeerAddress(peer_),
                       static_cast<uint16_t>(port));
        return "4011|0|udp|" + items[2] + "\r\n";
    }
    if (command == "4012") {
        codes_.clear();
        return "4012|0|all\r\n";
    }
    if (command == "4014" && items.size() >= 2) {
        for (std::size_t i = 2; i < items.size(); ++i)
            if (!items[i].empty()) codes_.insert(items[i]);
        return EncodeLevel2SubscribeAnswer(options_.answerType, "",
                                           static_cast<int32_t>(codes_.size()));
    }
    return "-1|unknown command\r\n";
}

std::string Level2Session::Login(const std::vector<std::string>& items) {
    const std::string khh = items.size() >= 2 ? items[1] : std::string();
    if (items.size() < 3 || khh.empty()) return "-1|bad login\r\n";
    loggedIn_ = true;
    const bool record = options_.form == Level2LoginForm::Record;
    const std::string udpAddress =
        options_.broadcast ? options_.broadcastAddress : PeerAddress(peer_);
    // The modes that name their own port or group open the channel with the answer.
    const int32_t mode = options_.mode;
    if ((record && mode == 5) || (!record && mode == 2))
        OpenUdpChannel(udpAddress, options_.quotePort);
    else if ((record && mode == 6) || (!record && mode == 3))
        OpenUdpChannel(options_.group, options_.quotePort);
    return record ? EncodeLevel2LoginAnswer(options_.answerType, khh, mode, options_.group,
                                            options_.quotePort)
                  : Level2LoginLine(khh, mode, options_.group, options_.quotePort);
}

bool Level2Session::OpenUdpChannel(const std::string& address, uint16_t port) {
    sockaddr_in target{};
    if (port == 0 || !MakeAddress(address, port, target)) return false;
    target_ = target;
    channel_ = Level2Channel::Udp;
    return true;
}

}  // namespace testserver
