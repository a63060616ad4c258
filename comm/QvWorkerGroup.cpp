// Completion queue and worker group of the push delivery.
#include "comm/QvWorkerGroup.h"

#include <utility>

#include "comm/IOBuffer.h"
#include "comm/QvRequest.h"
#include "comm/QvThread.h"

namespace NoltComm {

int32_t CIOCompletionPort::PostStatus(uintptr_t key, uint32_t bytes, void* overlapped) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(Completion{key, bytes, overlapped});
    }
    cv_.notify_one();
    return 1;
}

CIOCompletionPort::Completion CIOCompletionPort::GetStatus() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return !queue_.empty(); });
    Completion c = queue_.front();
    queue_.pop_front();
    return c;
}

std::deque<CIOCompletionPort::Completion> CIOCompletionPort::Drain() {
    std::lock_guard lock(mutex_);
    return std::exchange(queue_, {});
}

class CQvWorkerGroup::Worker : public CQvThread {
public:
    explicit Worker(CQvWorkerGroup& group) : group_(group) {}
    ~Worker() override { Stop(true); }

protected:
    uint32_t Run() override {
        for (;;) {
            const CIOCompletionPort::Completion c = group_.port_.GetStatus();
            if (c.key == 0) {
                // An empty completion: the wake-up of StopAll.
                if (IsStopping()) break;
                continue;
            }
            auto* object = reinterpret_cast<CQvRequest*>(c.key);
            auto* context = static_cast<CIOBuffer*>(c.overlapped);
            try {
                if (group_.handler_) group_.handler_(object, context);
            } catch (...) {
                // A failing callback must not end the worker or keep the references.
            }
            if (context != nullptr) context->Release();
            object->Release();
        }
        group_.WorkerEnded();
        return 0;
    }

private:
    CQvWorkerGroup& group_;
};

CQvWorkerGroup::CQvWorkerGroup(uint32_t workers, Handler handler) : handler_(std::move(handler)) {
    for (uint32_t i = 0; i < workers; ++i) {
        workers_.push_back(std::make_unique<Worker>(*this));
        {
            std::lock_guard lock(countMutex_);
            ++running_;
        }
        workers_.back()->Start();
    }
}

CQvWorkerGroup::~CQvWorkerGroup() {
    StopAll();
    for (const CIOCompletionPort::Completion& c : port_.Drain()) {
        if (c.key == 0) continue;
        if (c.overlapped != nullptr) static_cast<CIOBuffer*>(c.overlapped)->Release();
        reinterpret_cast<CQvRequest*>(c.key)->Release();
    }
}

void CQvWorkerGroup::Post(CQvRequest* object, CIOBuffer* context) {
    if (object == nullptr) return;
    object->AddRef();
    if (context != nullptr) context->AddRef();
    port_.PostStatus(reinterpret_cast<uintptr_t>(object), 1, context);
}

void CQvWorkerGroup::WorkerEnded() {
    std::lock_guard lock(countMutex_);
    if (--running_ == 0) done_.Set();
}

void CQvWorkerGroup::StopAll() {
    if (stopped_) return;
    stopped_ = true;
    // Every stop flag first, then one empty completion per worker: whichever worker takes
    // a wake-up then leaves, so each wake-up ends exactly one worker.
    for (auto& worker : workers_) worker->Stop(false);
    for (std::size_t i = 0; i < workers_.size(); ++i) port_.PostStatus(0, 0, nullptr);
    if (!workers_.empty()) {
        done_.Wait();
        // Joined rather than given a fixed pause to leave.
        for (auto& worker : workers_) worker->Wait();
    }
}

}  // namespace NoltComm
