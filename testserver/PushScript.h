// The rows of the notice topics (system notices, customer notices, option-instruction results)
// pushed on request, pushes written on the command line, and a script over the order book's
// pushes: duplicated, or held and sent later in reverse order, as a replaying server would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "testserver/Packet.h"

namespace testserver {

class TestServer;

inline constexpr int32_t kTopicSystemNotice = 16405;
inline constexpr int32_t kTopicCustomerNotice = 16406;
inline constexpr int32_t kTopicOptionResult = 17001100;

struct CustomerNotice {
    std::string khh;
    int32_t kind = 11;  // 11-15, 21
    int32_t serial = 0;
    std::string text;
    std::string time;          // "yyyy.mm.dd hh:mm:ss"; empty: not sent
    std::string reverifyMode;  // 7153 of kind 15; empty: not sent
};

struct OptionResult {
    std::string khh;
    int32_t instruction = 0;  // 0 option hedge, 1 exercise hedge, 2 automatic exercise
    int32_t action = 1;       // 1 set, 2 revoke
    int32_t setting = 1;
    int32_t result = 0;  // 0 success
    std::string error;   // sent when not empty
};

Row SystemNoticeRow(const std::string& text);
Row CustomerNoticeRow(const CustomerNotice& notice);
Row OptionResultRow(const OptionResult& result);

// Each returns how many subscribed connections got the push (16405 goes to every subscriber,
// the others to the subscriptions whose account range names the customer).
std::size_t PushSystemNotice(TestServer& server, const std::string& text);
std::size_t PushCustomerNotice(TestServer& server, const CustomerNotice& notice);
std::size_t PushOptionResult(TestServer& server, const OptionResult& result);

// A push as the command line writes it: "TOPIC[@CUSTOMER]:TAG=VALUE;TAG=VALUE..." (values
// without ';'). Without a customer it goes to every subscriber of the topic.
struct ScriptedPush {
    int32_t topic = 0;
    std::string khh;
    Row row;
};
// False with *error set for a bad topic, tag or item.
bool ParseScriptedPush(std::string_view text, ScriptedPush* out, std::string* error);
std::size_t SendScriptedPush(TestServer& server, const ScriptedPush& push);

// Takes the order book's pushes (the server's book must be enabled) until destroyed, when they
// go straight to the server again.
class PushScript {
public:
    explicit PushScript(TestServer& server);
    ~PushScript();
    PushScript(const PushScript&) = delete;
    PushScript& operator=(const PushScript&) = delete;

    // The next push of the topic goes out 1 + copies times.
    void DuplicateNext(int32_t topic, int copies);
    // The next count pushes of the topic are held.
    void HoldNext(int32_t topic, int count);
    // Sends what is held (newest first when reversed); how many pushes.
    std::size_t ReleaseHeld(bool reversed);

private:
    struct Held {
        int32_t topic;
        std::string khh;
        Row row;
    };
    void OnPush(int32_t topic, const std::string& khh, const Row& row);

    TestServer& server_;
    std::mutex mutex_;
    std::vector<std::pair<int32_t, int>> duplicates_;  // topic, copies
    std::vector<std::pair<int32_t, int>> holds_;       // topic, pushes left to hold
    std::vector<Held> held_;
};

}  // namespace testserver
