// CLogFile: the daily trace file, appended line by line under a lock on its end region so that
// several running clients that share the program directory never mix their lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "shell/services/LogTime.h"

namespace shell {

class CLogFile {
public:
    struct Options {
        std::string versionText;  // the program's version text, in every line head
        LogTimeSource now;        // empty: the PC's local time
    };

    CLogFile();
    explicit CLogFile(Options options);
    virtual ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Opens (creating when missing, keeping what is there) the file `name`, or "%Y%m%d.log" of
    // today when `name` is empty. A name with date placeholders has them expanded; a name
    // without a '/' goes into `directory`, or into the program directory when that is empty.
    // A file still open is closed first. True when the file is open.
    bool Open(std::string_view name = {}, std::string_view directory = {});
    bool IsOpen() const { return fd_ >= 0; }
    void Close();
    // Full path of the open file (empty when closed).
    const std::string& Path() const { return path_; }

    // Appends head, text and CR LF as one write, the text converted to GBK. 1 when written;
    // 0 when the file is closed or its end region could not be locked.
    int WriteLine(std::string_view text);

    // Tick (milliseconds) of the last line written and not flushed yet; 0 when flushed.
    int64_t GetLastWriteTick() const { return lastWriteTick_; }
    // Pushes the written lines to the disk when something was written since the last flush.
    void Flush();

    // Overwrites, in place, the first "yyyy" with the year, then the first "yy" with its last
    // two digits, the first "mm" with the month and the first "dd" with the day.
    static std::string ExpandDatePattern(std::string_view name, const LogTime& date);

private:
    LogTime Now() const;

    Options options_;
    int fd_ = -1;
    int64_t lastWriteTick_ = 0;
    std::string path_;
};

}  // namespace shell
