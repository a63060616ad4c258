// The machine description over the machine facts of platform/core.
#include "comm/MachineInfo.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "comm/Authentication.h"
#include "comm/SocketLink.h"
#include "platform/core/MachineFacts.h"

namespace NoltComm {

std::string GetMachineInfo() {
    static const std::string description = DigestHex(platform::GetMachineFactsText());
    return description;
}

bool GetConnectionMacAddress(CSocketLink& link, std::string* out) {
    sockaddr_in local{};
    const bool named = link.WithSocket([&](int fd) {
        socklen_t size = sizeof local;
        return getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) == 0 &&
               local.sin_family == AF_INET;
    });
    if (!named) return false;
    char dotted[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &local.sin_addr, dotted, sizeof dotted);
    *out = dotted;
    const std::string hardware =
        platform::FindAdapterHardwareAddress(platform::ListAdapterAddresses(), dotted);
    if (hardware.empty()) return false;
    *out = hardware;
    return true;
}

}  // namespace NoltComm
