// The program-wide entries over the one daily trace file, callable from any thread.
#pragma once

#include <cstdint>
#include <string_view>

namespace shell {

// Appends the text as one line of the daily trace file, opening the file with its default
// name when it is not open. 1 when written, 0 otherwise.
int WriteLogLine(std::string_view text);
// Pushes the trace file's written lines to the disk (nothing when nothing was written).
void FlushLogFile();
// Tick (milliseconds) of the last line not yet flushed, 0 when none: the frame worker flushes
// when this is more than 2000 ms old.
int64_t GetLogFileLastWriteTick();

}  // namespace shell
