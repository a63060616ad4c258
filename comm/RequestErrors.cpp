// Texts of the request layer's result codes that carry a number.
#include "comm/RequestErrors.h"

#include "platform/core/Numbers.h"

namespace NoltComm {

std::string AnswerTimeoutText(int32_t seconds) {
    return "等待应答数据超时(" + platform::FormatInt(seconds) + "秒)!";
}

std::string UserAbortText(int64_t elapsedMs) {
    return "用户手工中断连接,取消应答数据(" + platform::FormatInt(elapsedMs) + ")!";
}

}  // namespace NoltComm
