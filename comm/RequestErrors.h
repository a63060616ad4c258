// Result codes and texts that the request layer sets on a request (-103 to -106).
#pragma once

#include <cstdint>
#include <string>

namespace NoltComm {

constexpr int32_t kErrSendFailed = -103;
constexpr int32_t kErrAnswerTimeout = -104;
constexpr int32_t kErrLinkClosed = -105;
constexpr int32_t kErrCannotSend = -106;

inline constexpr const char* kTextSendFailed = "发出请求数据失败!";
inline constexpr const char* kTextLinkLost = "连接已经中断!";
inline constexpr const char* kTextNoHeader = "请求数据头未创建,发送数据失败!";
inline constexpr const char* kTextBadLength = "发送的数据包长度小等零,发送数据失败!";
inline constexpr const char* kTextNoConnection = "连接句柄为空,发送数据失败!";
inline constexpr const char* kTextShortWrite = "连接中断,发送数据失败!";
// The session cipher refused the packet; it was not sent (not even partly in clear text).
inline constexpr const char* kTextEncryptFailed = "数据加密失败,发送数据失败!";

// A compressed answer that cannot be collected, inflated or split: the request ends at once
// with this code instead of waiting for a time-out.
constexpr int32_t kErrBadAnswer = -107;
inline constexpr const char* kTextBadAnswer = "应答数据解压失败,取消应答数据!";

// "等待应答数据超时(%li秒)!"
std::string AnswerTimeoutText(int32_t seconds);
// "用户手工中断连接,取消应答数据(%li)!" with the milliseconds since the request was made.
std::string UserAbortText(int64_t elapsedMs);

}  // namespace NoltComm
