// The dBASE and comma-separated images of a grid's displayed texts, and the checked writing
// of an export file.
#include "flexui/GridExport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/core/Encoding.h"

namespace pavlet {
namespace {

constexpr std::size_t kDbfHeaderSize = 32;
constexpr std::size_t kDbfDescriptorSize = 32;
constexpr std::size_t kDbfNameBytes = 10;
constexpr int kDbfMaxFieldLength = 255;
constexpr std::size_t kCsvMaxText = 2047;

void PutU16(std::string& out, std::size_t at, uint32_t value) {
    out[at] = static_cast<char>(value & 0xFF);
    out[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void PutU32(std::string& out, std::size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
}

// A GBK text cut to `budget` bytes on a character boundary.
std::string GbkCut(std::string_view utf8, std::size_t budget) {
    return platform::Utf8ToGbk(utf8.substr(0, platform::CutToGbkBudget(utf8, budget)));
}

struct DbfField {
    std::string name;  // GBK, at most 10 bytes
    char type = 'C';
    int length = 0;
    int decimals = 0;
    uint32_t offset = 0;
};

}  // namespace

ExportDate TodayForExport() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return ExportDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

bool IsPlainNumber(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    bool digits = false, point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

bool BuildDbf(const ExportTable& table, const ExportDate& date, std::string* bytes) {
    std::vector<DbfField> fields;
    fields.reserve(table.columns.size());
    uint32_t recordLength = 1;  // the deletion flag
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
        const ExportColumn& column = table.columns[c];
        DbfField field;
        // A name cut inside a double-byte character would leave readers a malformed name:
        // the cut falls on a character boundary within the 10 bytes.
        field.name = GbkCut(column.caption, kDbfNameBytes);
        const bool numeric = column.type == 'I' || column.type == 'R' || column.type == 'N';
        int length = std::max(column.width, 0);
        bool allNumbers = numeric;
        for (const auto& row : table.rows) {
            const std::string_view text = c < row.size() ? std::string_view(row[c]) : "";
            if (numeric) length = std::max(length, static_cast<int>(platform::GbkLength(text)));
            if (allNumbers && !text.empty() && !IsPlainNumber(text)) allNumbers = false;
        }
        field.length = std::min(length, kDbfMaxFieldLength);
        field.type = numeric ? (allNumbers ? 'N' : 'C') : column.type;
        field.decimals = field.type == 'N' ? std::clamp(column.decimals, 0, 255) : 0;
        field.offset = recordLength;
        recordLength += static_cast<uint32_t>(field.length);
        if (recordLength > kDbfMaxRecordLength) return false;
        fields.push_back(std::move(field));
    }
    const std::size_t headerLength = kDbfHeaderSize + kDbfDescriptorSize * fields.size() + 1;
    if (headerLength > 0xFFFF) return false;

    std::string out(headerLength, '\0');
    out[0] = 3;
    out[1] = static_cast<char>(((date.year % 100) + 100) % 100);
    out[2] = static_cast<char>(date.month);
    out[3] = static_cast<char>(date.day);
    PutU32(out, 4, static_cast<uint32_t>(table.rows.size()));
    PutU16(out, 8, static_cast<uint32_t>(headerLength));
    PutU16(out, 10, recordLength);
    for (std::size_t f = 0; f < fields.size(); ++f) {
        const DbfField& field = fields[f];
        const std::size_t at = kDbfHeaderSize + kDbfDescriptorSize * f;
        std::memcpy(&out[at], field.name.data(), field.name.size());
        out[at + 11] = field.type;
        PutU16(out, at + 12, field.offset);
        out[at + 16] = static_cast<char>(field.length);
        out[at + 17] = static_cast<char>(field.decimals);
    }
    out[headerLength - 1] = 0x0D;

    out.reserve(headerLength + recordLength * table.rows.size());
    std::string record;
    for (const auto& row : table.rows) {
        record.assign(recordLength, ' ');
        for (std::size_t f = 0; f < fields.size(); ++f) {
            if (f >= row.size()) break;
            const std::string gbk = GbkCut(row[f], static_cast<std::size_t>(fields[f].length));
            std::memcpy(&record[fields[f].offset], gbk.data(), gbk.size());
        }
        out += record;
    }
    *bytes = std::move(out);
    return true;
}

std::string BuildCsv(const ExportTable& table) {
    std::string out;
    auto field = [&](std::string_view utf8) {
        const std::string gbk = GbkCut(utf8, kCsvMaxText);
        if (gbk.find_first_of(",\"\r\n") == std::string::npos) {
            out += gbk;
        } else {
            out += '"';
            for (char c : gbk) {
                if (c == '"') out += '"';
                out += c;
            }
            out += '"';
        }
        out += ',';
    };
    for (const ExportColumn& column : table.columns) field(column.caption);
    out += "\r\n";
    for (const auto& row : table.rows) {
        for (std::size_t c = 0; c < table.columns.size(); ++c)
            field(c < row.size() ? std::string_view(row[c]) : std::string_view());
        out += "\r\n";
    }
    return out;
}

bool WriteExportFile(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) ok = false;
    // Only a file of our own making is taken away again, never a device the user named.
    if (!ok && regular) ::unlink(path.c_str());
    return ok;
}

}  // namespace pavlet
