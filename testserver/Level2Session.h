// One level-2 control connection's side of the protocol, apart from its socket: received
// bytes cut into lines, each line answered, and the quote channel and codes the lines set.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace testserver {

enum class Level2LoginForm {
    Record,  // the 68-byte login record; modes 1 (TCP), 4 (UDP, port from 4011), 5 (UDP on
             // the named port), 6 (multicast group and port)
    Text,    // the line "4001|khh|mode|group|port"; modes 1 (as record 4), 2 (as 5), 3 (as 6)
};

struct Level2Options {
    std::string address = "127.0.0.1";
    uint16_t port = 0;  // control port; 0 picks a free one
    Level2LoginForm form = Level2LoginForm::Record;
    int32_t mode = 1;                   // the mode the login answer grants
    std::string group = "239.255.0.1";  // the multicast group named (record 6, text 3)
    uint16_t quotePort = 0;             // the UDP port named (record 5 and 6, text 2 and 3)
    // UDP quotes go to the control connection's peer unless broadcast is set, then to the
    // broadcast address (the quote port stays the client's).
    bool broadcast = false;
    std::string broadcastAddress = "127.255.255.255";
    std::string multicastInterface = "127.0.0.1";
    char answerType = 'A';  // the type character of the binary answers
};

enum class Level2Channel { None, Tcp, Udp };

class Level2Session {
public:
    struct Reply {
        std::string line;    // the command line, without its line end
        std::string answer;  // written on its own
    };

    // The options must outlive the session.
    Level2Session(const Level2Options& options, const sockaddr_in& peer);

    // Takes received bytes and answers every whole line among them (LF or CR LF ends one).
    // A line longer than the limit breaks the session: nothing more is answered.
    std::vector<Reply> Receive(std::string_view bytes);
    bool Broken() const { return broken_; }

    Level2Channel Channel() const { return channel_; }
    // The UDP channel's destination.
    const sockaddr_in& Target() const { return target_; }
    const std::set<std::string>& Codes() const { return codes_; }

private:
    std::string Answer(const std::string& line);
    std::string Login(const std::vector<std::string>& items);
    bool OpenUdpChannel(const std::string& address, uint16_t port);

    const Level2Options& options_;
    sockaddr_in peer_{};
    std::string buffer_;
    bool broken_ = false;
    bool loggedIn_ = false;
    Level2Channel channel_ = Level2Channel::None;
    sockaddr_in target_{};
    std::set<std::string> codes_;
};

}  // namespace testserver
