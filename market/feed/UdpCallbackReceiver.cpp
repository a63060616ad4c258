// The UDP quote link's receiver: the callback runs under its lock, so replacing or removing it
// waits for a call in progress.
#include "market/feed/UdpCallbackReceiver.h"

#include <utility>

namespace market::feed {

CUdpCallbackReceiver::~CUdpCallbackReceiver() { Close(); }

void CUdpCallbackReceiver::SetCallback(Callback callback) {
    std::lock_guard hold(callbackLock_);
    callback_ = std::move(callback);
}

bool CUdpCallbackReceiver::OnDatagram(const uint8_t* payload, int32_t length) {
    std::lock_guard hold(callbackLock_);
    if (callback_) callback_(payload, length);
    return true;
}

}  // namespace market::feed
