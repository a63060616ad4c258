// Notification windows, quote subscriptions, contract interest marks and locked orders.
#include "tradedata/Registries.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <utility>

#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"

namespace tradedata {
namespace {

// Windows register from several windows' threads of life, and the workplace reads the list
// while forwarding, so the list has a lock of its own.
std::mutex g_notifyMutex;
std::vector<WindowId> g_notifyWindows;

std::mutex g_postMutex;
std::shared_ptr<const PostFunction> g_post;
std::atomic<WindowId> g_workplace{0};

std::mutex g_lockedMutex;
std::vector<std::string> g_lockedOrders;

}  // namespace

void SetPostFunction(PostFunction post) {
    auto shared = post ? std::make_shared<const PostFunction>(std::move(post)) : nullptr;
    std::lock_guard lock(g_postMutex);
    g_post = std::move(shared);
}

void PostToWindow(WindowId window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    std::shared_ptr<const PostFunction> post;
    {
        std::lock_guard lock(g_postMutex);
        post = g_post;
    }
    if (post && window != 0) (*post)(window, message, wParam, lParam);
}

void SetWorkplaceWindow(WindowId window) { g_workplace.store(window); }
WindowId GetWorkplaceWindow() { return g_workplace.load(); }

int AddNotifyWindow(WindowId window) {
    std::lock_guard lock(g_notifyMutex);
    auto it = std::find(g_notifyWindows.begin(), g_notifyWindows.end(), window);
    if (it != g_notifyWindows.end()) return static_cast<int>(it - g_notifyWindows.begin());
    g_notifyWindows.push_back(window);
    return static_cast<int>(g_notifyWindows.size()) - 1;
}

void RemoveNotifyWindow(WindowId window) {
    std::lock_guard lock(g_notifyMutex);
    std::erase(g_notifyWindows, window);
}

int FindNotifyWindow(WindowId window) {
    std::lock_guard lock(g_notifyMutex);
    auto it = std::find(g_notifyWindows.begin(), g_notifyWindows.end(), window);
    return it == g_notifyWindows.end() ? -1 : static_cast<int>(it - g_notifyWindows.begin());
}

std::vector<WindowId> GetNotifyWindows() {
    std::lock_guard lock(g_notifyMutex);
    return g_notifyWindows;
}

std::string FormatWindowNode(WindowId window) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(window));
    return text;
}

void SubscribeQuote(const char* code, WindowId window) {
    if (code == nullptr || *code == '\0') return;
    const std::string node = FormatWindowNode(window);
    CFixRecord& table = QuoteSubscriptionTable;
    if (table.GetFCount() == 0) table.Create(kQuoteSubscriptionLayout);
    table.acquireLockExclusive();
    const bool present = table.LocateEx({{719, code}, {641, node}}) >= 0;
    if (!present) {
        CMemRecord* mem = table.GetMemRecord();
        const int row = mem->Append(nullptr, true);
        table.Set(719, code, row);
        table.Set(641, node.c_str(), row);
    }
    table.releaseLockExclusive();
    if (!present) PostToWindow(GetWorkplaceWindow(), kWmFrameCommand, 3, 0);
}

void UnsubscribeQuote(const char* code, WindowId window) {
    if (code == nullptr || *code == '\0') return;
    const std::string node = FormatWindowNode(window);
    CFixRecord& table = QuoteSubscriptionTable;
    table.acquireLockExclusive();
    CMemRecord* mem = table.GetMemRecord();
    for (int r = 0; r < mem->GetCount();) {
        if (table.Get(719, r) == code && table.Get(641, r) == node)
            mem->Delete(r);
        else
            ++r;
    }
    table.releaseLockExclusive();
}

bool UpdateContractFlags(uint32_t mask, uint32_t value, int32_t ref) {
    CFixRecord* table = GetRowTable(ref);
    if (table == nullptr) return (value & mask) != 0;
    const int row = ref & kRowMask;
    table->acquireLockExclusive();
    const uint32_t old = static_cast<uint32_t>(table->GetLong(644, row));
    const uint32_t now = (old & ~mask) | value;
    if (now != old) table->Set(644, static_cast<int32_t>(now), row);
    table->releaseLockExclusive();
    return (old & mask) != (now & mask);
}

int ClearFlagsInAllRows(CFixRecord& table, uint32_t bits) {
    table.acquireLockExclusive();
    const int count = table.GetCount();
    for (int r = 0; r < count; ++r) {
        const uint32_t old = static_cast<uint32_t>(table.GetLong(644, r));
        if (old & bits) table.Set(644, static_cast<int32_t>(old & ~bits), r);
    }
    table.releaseLockExclusive();
    return count;
}

int FlagTableContracts(CFixRecord& table, uint32_t bits) {
    // Codes first, so no contract table lock is taken while this table's lock is held.
    std::vector<std::string> codes;
    table.acquireLockShared();
    const int count = table.GetCount();
    codes.reserve(static_cast<std::size_t>(count));
    for (int r = 0; r < count; ++r) codes.push_back(table.Get(719, r));
    table.releaseLockShared();
    for (const std::string& code : codes) {
        const RowRef ref = FindContract(code.c_str());
        if (ref >= 0) UpdateContractFlags(bits, bits, ref);
    }
    return count;
}

int FindLockedOrder(const std::string& key) {
    std::lock_guard lock(g_lockedMutex);
    auto it = std::find(g_lockedOrders.begin(), g_lockedOrders.end(), key);
    return it == g_lockedOrders.end() ? -1 : static_cast<int>(it - g_lockedOrders.begin());
}

void SetLockedOrders(std::vector<std::string> keys) {
    std::lock_guard lock(g_lockedMutex);
    g_lockedOrders = std::move(keys);
}

void AddLockedOrder(const std::string& key) {
    std::lock_guard lock(g_lockedMutex);
    if (std::find(g_lockedOrders.begin(), g_lockedOrders.end(), key) == g_lockedOrders.end())
        g_lockedOrders.push_back(key);
}

void RemoveLockedOrder(const std::string& key) {
    std::lock_guard lock(g_lockedMutex);
    std::erase(g_lockedOrders, key);
}

}  // namespace tradedata
