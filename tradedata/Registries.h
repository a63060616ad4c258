// The registries that outlive any one window: the notification-window list, the quote
// subscriptions per window, the interest marks on contract rows and the locked-order list.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CFixRecord;

namespace tradedata {

// A window handle: the window layer's 32-bit id (0 = none).
using WindowId = uint32_t;

inline constexpr uint32_t kWmApp = 0x8000;
inline constexpr uint32_t kWmFrameRefresh = kWmApp + 1;   // 0x8001
inline constexpr uint32_t kWmFrameEvent = kWmApp + 2;     // 0x8002
inline constexpr uint32_t kWmFrameCommand = kWmApp + 3;   // 0x8003
inline constexpr uint32_t kWmFrameService = kWmApp + 16;  // 0x8010

// Posting goes through a function the shell sets to the window layer's PostMessage; until it
// is set, posts are dropped. Callable from any thread.
using PostFunction =
    std::function<void(WindowId window, uint32_t message, uintptr_t wParam, intptr_t lParam)>;
void SetPostFunction(PostFunction post);
void PostToWindow(WindowId window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// The workplace window that receives the frame commands.
void SetWorkplaceWindow(WindowId window);
WindowId GetWorkplaceWindow();

// ---- notification-window list (insertion order, no duplicates) ----
int AddNotifyWindow(WindowId window);
void RemoveNotifyWindow(WindowId window);
int FindNotifyWindow(WindowId window);
// A copy of the list in order, for the workplace's forwarding.
std::vector<WindowId> GetNotifyWindows();

// ---- quote subscriptions (QuoteSubscriptionTable; NODE = the handle as "%08X") ----
std::string FormatWindowNode(WindowId window);
void SubscribeQuote(const char* code, WindowId window);
void UnsubscribeQuote(const char* code, WindowId window);

// ---- interest marks in FLAGS (644) of contract rows ----
// FLAGS := (FLAGS & ~mask) | value, as one step under the table's exclusive lock; true when
// the bits under the mask changed.
bool UpdateContractFlags(uint32_t mask, uint32_t value, int32_t ref);
// Clears the bits in every row's FLAGS; returns the row count.
int ClearFlagsInAllRows(CFixRecord& table, uint32_t bits);
// Sets the bits on the contract of every row's code (719); returns the row count.
int FlagTableContracts(CFixRecord& table, uint32_t bits);

// ---- locked orders ("%s%s" of exchange code and order number) ----
int FindLockedOrder(const std::string& key);
// Written by the order view.
void SetLockedOrders(std::vector<std::string> keys);
void AddLockedOrder(const std::string& key);
void RemoveLockedOrder(const std::string& key);

}  // namespace tradedata
