// CUdpCallbackReceiver: the UDP quote link handing every quote datagram's payload to a
// callback (the frame's compact-record processing).
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

#include "comm/UdpLink.h"

namespace market::feed {

class CUdpCallbackReceiver : public NoltComm::CUdpLink {
public:
    using Callback = std::function<void(const uint8_t* payload, int32_t length)>;

    CUdpCallbackReceiver() = default;
    // Closes the link first, so no datagram reaches a half-destroyed receiver.
    ~CUdpCallbackReceiver() override;

    // Stores the callback; an empty one stops delivery. Returns once no call of the previous
    // callback is running, so its owner may go away afterwards.
    void SetCallback(Callback callback);

protected:
    // Runs on the link's receive thread; always true.
    bool OnDatagram(const uint8_t* payload, int32_t length) override;

private:
    std::mutex callbackLock_;
    Callback callback_;
};

}  // namespace market::feed
