// The completion-port worker group that delivers queued pushes: a queue of completions
// served by worker threads. Each posted push holds a reference to its subscription and to
// its buffer until a worker has handed it over.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "comm/QvEvent.h"

namespace NoltComm {

class CIOBuffer;
class CQvRequest;

// A queue of completions (key, byte count, context pointer), the stand-in of a completion
// port.
class CIOCompletionPort {
public:
    struct Completion {
        uintptr_t key = 0;
        uint32_t bytes = 0;
        void* overlapped = nullptr;
    };

    // Non-zero.
    int32_t PostStatus(uintptr_t key, uint32_t bytes, void* overlapped);
    // Waits for the next completion.
    Completion GetStatus();
    // Takes every completion still queued.
    std::deque<Completion> Drain();

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Completion> queue_;
};

class CQvWorkerGroup {
public:
    // Called on a worker with the subscription and the buffer of one posted push.
    using Handler = std::function<void(CQvRequest* object, CIOBuffer* context)>;

    CQvWorkerGroup(uint32_t workers, Handler handler);
    // Stops the workers (when StopAll was not called) and releases pushes never delivered.
    ~CQvWorkerGroup();
    CQvWorkerGroup(const CQvWorkerGroup&) = delete;
    CQvWorkerGroup& operator=(const CQvWorkerGroup&) = delete;

    // Adds a reference to both and queues them; nothing for a null object.
    void Post(CQvRequest* object, CIOBuffer* context);
    // Wakes every worker with an empty completion, waits until all have left and joins them.
    void StopAll();
    uint32_t GetWorkerCount() const { return static_cast<uint32_t>(workers_.size()); }

private:
    class Worker;
    void WorkerEnded();

    CIOCompletionPort port_;
    Handler handler_;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::mutex countMutex_;
    uint32_t running_ = 0;
    CQvEvent done_;
    bool stopped_ = false;
};

}  // namespace NoltComm
