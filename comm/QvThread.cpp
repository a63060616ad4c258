// Thread classes of the toolkit over std::jthread.
#include "comm/QvThread.h"

#include <cstdio>
#include <system_error>

#include "comm/ClockWait.h"
#include "comm/QvException.h"

namespace NoltComm {

namespace {
// How long Terminate waits for a body to notice its stop request.
constexpr int64_t kTerminateWaitMs = 2000;
}  // namespace

CQvThreadHandle::~CQvThreadHandle() { MarkInvalid(); }

void CQvThreadHandle::Create(std::function<uint32_t(std::stop_token)> body) {
    MarkInvalid();
    {
        std::lock_guard lock(mutex_);
        ended_ = false;
    }
    exitCode_ = 0;
    try {
        thread_ = std::jthread([this, body = std::move(body)](std::stop_token token) {
            const uint32_t code = body(std::move(token));
            exitCode_ = code;
            std::lock_guard lock(mutex_);
            ended_ = true;
            cv_.notify_all();
        });
    } catch (...) {
        std::lock_guard lock(mutex_);
        ended_ = true;
        throw;
    }
}

bool CQvThreadHandle::WaitEnd(int64_t timeoutMs) {
    if (!IsValid()) return true;
    std::unique_lock lock(mutex_);
    return WaitOnClock(lock, cv_, timeoutMs, [this] { return ended_; });
}

bool CQvThreadHandle::Join(int64_t timeoutMs) {
    if (!WaitEnd(timeoutMs)) return false;
    MarkInvalid();
    return true;
}

void CQvThreadHandle::MarkInvalid() {
    if (thread_.joinable()) thread_.join();
}

void CQvThreadHandle::RequestStop() {
    if (thread_.joinable()) thread_.request_stop();
}

CQvThread::~CQvThread() {
    stop_ = true;
    handle_.RequestStop();
    handle_.MarkInvalid();
}

void CQvThread::Start() {
    if (IsRunning()) {
        throw CQvException("CQvThread::Start()",
                           "Thread already running - you can only call Start() once!");
    }
    CQvCriticalSection::Owner owner(startLock_);
    if (handle_.IsValid()) {
        throw CQvException("CQvThread::Start()",
                           "Thread already running - you can only call Start() once2!");
    }
    stop_ = false;
    try {
        handle_.Create([this](std::stop_token token) -> uint32_t {
            token_ = std::move(token);
            try {
                return Run();
            } catch (const CQvException& e) {
                // An escaped exception would end the whole process; the thread ends instead.
                std::fprintf(stderr, "%s: %s\n", e.Where().c_str(), e.Message().c_str());
            } catch (const std::exception& e) {
                std::fprintf(stderr, "CQvThread::Run(): %s\n", e.what());
            } catch (...) {
                std::fprintf(stderr, "CQvThread::Run(): unknown exception\n");
            }
            return 0;
        });
    } catch (const std::system_error& e) {
        stop_ = true;
        throw CWin32Exception("CQvThread::Start() - _beginthreadex",
                              static_cast<uint32_t>(e.code().value()));
    }
}

bool CQvThread::Wait(int64_t timeoutMs) { return handle_.Join(timeoutMs); }

bool CQvThread::Wait() {
    handle_.MarkInvalid();
    return true;
}

void CQvThread::Stop(bool wait) {
    stop_ = true;
    handle_.RequestStop();
    if (wait) Wait();
}

bool CQvThread::IsRunning() {
    if (!handle_.IsValid()) return false;
    if (!handle_.WaitEnd(0)) return true;
    handle_.MarkInvalid();
    return false;
}

int32_t CQvThread::Terminate(uint32_t /*exitCode*/) {
    Stop(false);
    return Wait(kTerminateWaitMs) ? 1 : 0;
}

CQvThreadEx::~CQvThreadEx() {
    stop_ = true;
    handle_.RequestStop();
    handle_.MarkInvalid();
}

bool CQvThreadEx::Start() {
    CQvCriticalSection::Owner owner(startLock_);
    try {
        finished_ = false;
        if (handle_.IsValid()) return false;
        if (OnStart() <= 0) return false;
        stop_ = false;
        handle_.Create([this](std::stop_token token) { return Entry(std::move(token)); });
        return true;
    } catch (...) {
        finished_ = true;
        return false;
    }
}

uint32_t CQvThreadEx::Entry(std::stop_token token) {
    token_ = std::move(token);
    uint32_t result = 0;
    try {
        result = Run();
    } catch (...) {
        std::fputs("QvThreadEx Run Error !\n", stdout);
        std::fflush(stdout);
        result = 0;
    }
    try {
        OnStop();
    } catch (...) {
        std::fputs("QvThreadEx Shutdown Error !\n", stdout);
        std::fflush(stdout);
    }
    finished_ = true;
    return result;
}

bool CQvThreadEx::Wait(int64_t timeoutMs) { return handle_.Join(timeoutMs); }

bool CQvThreadEx::Wait() {
    handle_.MarkInvalid();
    return true;
}

void CQvThreadEx::Stop(bool wait) {
    if (finished_) {
        handle_.MarkInvalid();
        return;
    }
    stop_ = true;
    handle_.RequestStop();
    if (wait) Wait();
}

}  // namespace NoltComm
