// The row used by the field-read benchmarks, shared with the FIX parser comparison (which is
// built as C++14 because of the library's headers).
#pragma once

#include <cstdio>
#include <string>

namespace benchmsg {

// 40 fields as a position row has them: tags 600..639, short texts and numbers.
inline std::string FortyFields(bool withTags) {
    std::string body;
    for (int i = 0; i < 40; ++i) {
        if (withTags) body += std::to_string(600 + i) + "=";
        body += (i % 3 == 0) ? "cu2501" : (i % 3 == 1) ? std::to_string(1000 + i * 37) : "1234.5";
        body += '\x01';
    }
    return body;
}

// The same 40 fields as a FIX 4.2 message with its standard header and checksum.
inline std::string FixMessageText() {
    const std::string fields = std::string(
                                   "35=D\x01"
                                   "49=A\x01"
                                   "56=B\x01"
                                   "34=1\x01"
                                   "52=20250101-00:00:00\x01") +
                               FortyFields(true);
    std::string text =
        "8=FIX.4.2\x01"
        "9=" +
        std::to_string(fields.size()) + "\x01" + fields;
    unsigned sum = 0;
    for (unsigned char c : text) sum += c;
    char trailer[16];
    std::snprintf(trailer, sizeof trailer, "10=%03u\x01", sum % 256);
    return text + trailer;
}

}  // namespace benchmsg
