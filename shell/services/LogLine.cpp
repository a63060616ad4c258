// The one trace file of the process and the log lock that every writer takes.
#include "shell/services/LogLine.h"

#include "record/RWLockInheritable.h"
#include "shell/services/LogFile.h"

namespace shell {
namespace {

// Taken exclusive by every entry; re-entrant, so a writer that logs while logging does not
// deadlock.
class ExclusiveLogLock {
public:
    explicit ExclusiveLogLock(CRWLockInheritable& lock) : lock_(lock) {
        lock_.acquireLockExclusive();
    }
    ~ExclusiveLogLock() { lock_.releaseLockExclusive(); }
    ExclusiveLogLock(const ExclusiveLogLock&) = delete;
    ExclusiveLogLock& operator=(const ExclusiveLogLock&) = delete;

private:
    CRWLockInheritable& lock_;
};

struct TraceLog {
    CRWLockInheritable lock;
    CLogFile file{CLogFile::Options{KELMON_VERSION_TEXT, {}}};
};

TraceLog& Trace() {
    static TraceLog trace;
    return trace;
}

}  // namespace

int WriteLogLine(std::string_view text) {
    TraceLog& trace = Trace();
    ExclusiveLogLock hold(trace.lock);
    if (!trace.file.IsOpen()) trace.file.Open();
    return trace.file.WriteLine(text);
}

void FlushLogFile() {
    TraceLog& trace = Trace();
    ExclusiveLogLock hold(trace.lock);
    trace.file.Flush();
}

int64_t GetLogFileLastWriteTick() {
    TraceLog& trace = Trace();
    ExclusiveLogLock hold(trace.lock);
    return trace.file.GetLastWriteTick();
}

}  // namespace shell
