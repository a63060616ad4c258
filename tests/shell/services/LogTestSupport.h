// Helpers shared by the log tests: reading a log file back and a fixed clock for line heads.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "shell/services/LogTime.h"

namespace shell::testing {

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Lines without their CR LF; a last line without CR LF is returned as it stands.
inline std::vector<std::string> SplitLines(const std::string& content) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = content.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
        lines.push_back(content.substr(start, end - start));
    }
    if (start < content.size()) lines.push_back(content.substr(start));
    return lines;
}

inline LogTimeSource FixedTime(LogTime time) {
    return [time] { return time; };
}

constexpr LogTime kJan5{2024, 1, 5, 9, 3, 7, 45};

}  // namespace shell::testing
