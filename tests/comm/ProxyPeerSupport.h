// Real proxies on loopback for the tests: tinyproxy (HTTP CONNECT) and dante (SOCKS4 and
// SOCKS5) run on a free port with a generated configuration; a test whose proxy program is
// not installed is skipped with a message.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/comm/LinkTestSupport.h"
#include "tests/support/TempDir.h"

namespace linktest {

inline constexpr char kTinyproxy[] = "/usr/bin/tinyproxy";
inline constexpr char kDanted[] = "/usr/sbin/danted";

class ProxyPeer : public ::testing::Test {
protected:
    // Writes the configuration (made from the port) and runs the program with args, where
    // "{conf}" stands for the configuration file; on another port when the first was taken.
    void Launch(const char* program, const std::function<std::string(int)>& confText,
                const std::vector<std::string>& args) {
        const std::string conf = dir.file("proxy.conf");
        peer = StartOnFreePort<PeerProcess>(port, [&](int free) {
            std::ofstream(conf) << confText(free);
            std::vector<std::string> line{program};
            for (const std::string& arg : args) line.push_back(arg == "{conf}" ? conf : arg);
            return std::make_unique<PeerProcess>(std::move(line));
        });
        ASSERT_TRUE(peer) << program << " did not start";
    }
    testsupport::TempDir dir;
    std::unique_ptr<PeerProcess> peer;
    int port = 0;
};

class TinyproxyPeer : public ProxyPeer {
protected:
    void Start(const std::string& extra) {
        if (access(kTinyproxy, X_OK) != 0) GTEST_SKIP() << "tinyproxy is not installed";
        Launch(kTinyproxy,
               [&](int free) {
                   return "Port " + std::to_string(free) +
                          "\nListen 127.0.0.1\nTimeout 30\nMaxClients 8\nAllow 127.0.0.1\n"
                          "LogLevel Critical\n" +
                          extra;
               },
               {"-d", "-c", "{conf}"});
    }
};

class DantePeer : public ProxyPeer {
protected:
    void Start(const std::string& method = "none") {
        if (access(kDanted, X_OK) != 0) GTEST_SKIP() << "dante-server (danted) is not installed";
        Launch(kDanted,
               [&](int free) {
                   return "logoutput: stderr\ninternal: 127.0.0.1 port = " + std::to_string(free) +
                          "\nexternal: lo\nclientmethod: none\nsocksmethod: " + method +
                          "\nuser.privileged: root\nuser.unprivileged: nobody\n"
                          "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
                          "socks pass { from: 127.0.0.0/8 to: 127.0.0.0/8 }\n";
               },
               {"-f", "{conf}", "-N", "1", "-p", dir.file("pid")});
    }
};

}  // namespace linktest
