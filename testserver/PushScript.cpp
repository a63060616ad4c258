// The notice rows, command-line pushes and the script over the order book's pushes.
#include "testserver/PushScript.h"

#include <algorithm>
#include <charconv>

#include "platform/core/Numbers.h"
#include "testserver/OrderBook.h"
#include "testserver/TestServer.h"

namespace testserver {
namespace {

bool ParseInt(std::string_view text, int32_t* value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return error == std::errc() && end == text.data() + text.size();
}

std::size_t Send(TestServer& server, int32_t topic, const std::string& khh, const Row& row) {
    const std::string name = platform::FormatInt(topic);
    return khh.empty() ? server.Push(name, row) : server.PushToCustomer(name, khh, row);
}

// Takes one from the first entry of the topic with some left; false when none.
bool TakeOne(std::vector<std::pair<int32_t, int>>& entries, int32_t topic, int* value) {
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it->first != topic) continue;
        *value = it->second;
        entries.erase(it);
        return true;
    }
    return false;
}

}  // namespace

Row SystemNoticeRow(const std::string& text) { return {{1777, text}}; }

Row CustomerNoticeRow(const CustomerNotice& n) {
    Row row{{1332, platform::FormatInt(n.kind)},
            {797, platform::FormatInt(n.serial)},
            {605, n.khh},
            {1777, n.text}};
    if (!n.time.empty()) row.push_back({1219, n.time});
    if (!n.reverifyMode.empty()) row.push_back({7153, n.reverifyMode});
    return row;
}

Row OptionResultRow(const OptionResult& r) {
    Row row{{605, r.khh},
            {5001, platform::FormatInt(r.instruction)},
            {5002, platform::FormatInt(r.action)},
            {5003, platform::FormatInt(r.setting)},
            {1029, platform::FormatInt(r.result)}};
    if (!r.error.empty()) row.push_back({1030, r.error});
    return row;
}

std::size_t PushSystemNotice(TestServer& server, const std::string& text) {
    return Send(server, kTopicSystemNotice, {}, SystemNoticeRow(text));
}

std::size_t PushCustomerNotice(TestServer& server, const CustomerNotice& notice) {
    return Send(server, kTopicCustomerNotice, notice.khh, CustomerNoticeRow(notice));
}

std::size_t PushOptionResult(TestServer& server, const OptionResult& result) {
    return Send(server, kTopicOptionResult, result.khh, OptionResultRow(result));
}

bool ParseScriptedPush(std::string_view text, ScriptedPush* out, std::string* error) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return *error = "no ':' after the topic", false;
    std::string_view head = text.substr(0, colon);
    ScriptedPush push;
    if (const std::size_t at = head.find('@'); at != std::string_view::npos) {
        push.khh = std::string(head.substr(at + 1));
        head = head.substr(0, at);
    }
    if (!ParseInt(head, &push.topic) || push.topic <= 0)
        return *error = "bad topic: " + std::string(head), false;
    std::string_view items = text.substr(colon + 1);
    while (!items.empty()) {
        const std::size_t end = std::min(items.find(';'), items.size());
        const std::string_view item = items.substr(0, end);
        items = end < items.size() ? items.substr(end + 1) : std::string_view();
        if (item.empty()) continue;
        const std::size_t eq = item.find('=');
        int32_t tag = 0;
        if (eq == std::string_view::npos || !ParseInt(item.substr(0, eq), &tag) || tag <= 0)
            return *error = "bad item: " + std::string(item), false;
        push.row.push_back({tag, std::string(item.substr(eq + 1))});
    }
    *out = std::move(push);
    return true;
}

std::size_t SendScriptedPush(TestServer& server, const ScriptedPush& push) {
    return Send(server, push.topic, push.khh, push.row);
}

PushScript::PushScript(TestServer& server) : server_(server) {
    if (auto book = server_.Book())
        book->SetPusher([this](int32_t topic, const std::string& khh, const Row& row) {
            OnPush(topic, khh, row);
        });
}

PushScript::~PushScript() {
    if (auto book = server_.Book())
        book->SetPusher([server = &server_](int32_t topic, const std::string& khh, const Row& row) {
            Send(*server, topic, khh, row);
        });
}

void PushScript::DuplicateNext(int32_t topic, int copies) {
    std::lock_guard lock(mutex_);
    duplicates_.emplace_back(topic, std::max(copies, 0));
}

void PushScript::HoldNext(int32_t topic, int count) {
    std::lock_guard lock(mutex_);
    if (count > 0) holds_.emplace_back(topic, count);
}

void PushScript::OnPush(int32_t topic, const std::string& khh, const Row& row) {
    int copies = 0;
    {
        std::lock_guard lock(mutex_);
        int left = 0;
        if (TakeOne(holds_, topic, &left)) {
            if (left > 1) holds_.emplace_back(topic, left - 1);
            held_.push_back({topic, khh, row});
            return;
        }
        TakeOne(duplicates_, topic, &copies);
    }
    for (int i = 0; i <= copies; ++i) Send(server_, topic, khh, row);
}

std::size_t PushScript::ReleaseHeld(bool reversed) {
    std::vector<Held> held;
    {
        std::lock_guard lock(mutex_);
        held.swap(held_);
    }
    if (reversed) std::reverse(held.begin(), held.end());
    for (const Held& h : held) Send(server_, h.topic, h.khh, h.row);
    return held.size();
}

}  // namespace testserver
