// The two exception classes that every toolkit class throws, and the system error texts
// they carry.
#pragma once

#include <cstdint>
#include <string>

namespace NoltComm {

// Place text ("Class::Method()", for a failed system call followed by " - " and the call)
// and message text.
class CQvException {
public:
    CQvException(std::string where, std::string message)
        : where_(std::move(where)), message_(std::move(message)) {}
    virtual ~CQvException() = default;

    virtual std::string Where() const { return where_; }
    virtual std::string Message() const { return message_; }

private:
    std::string where_;
    std::string message_;
};

// A failed system call: the message is the system's description of the error code.
class CWin32Exception : public CQvException {
public:
    CWin32Exception(std::string where, uint32_t error);
    uint32_t GetError() const { return error_; }

private:
    uint32_t error_;
};

// The system's description of an error number (strerror_r), never empty.
std::string GetSystemErrorText(uint32_t error);

}  // namespace NoltComm
