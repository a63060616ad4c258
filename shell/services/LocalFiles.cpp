// Cache files, the carrying-over of the older per-account files, and tables in
// "localize.ini". Files go to disk through a temporary file renamed into place.
#include "shell/services/LocalFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"
#include "platform/core/ProfileFile.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "record/RandomMassFile.h"
#include "record/StringHelpers.h"
#include "shell/services/IndexedFile.h"
#include "shell/services/SettingsWriters.h"

namespace shell {
namespace {

constexpr std::size_t kMaxCacheFileSize = 256u << 20;
constexpr std::size_t kMaxMessageFileSize = 64u << 20;
constexpr std::size_t kCacheValueBudget = 1023;  // GBK bytes of one cached value
constexpr uint32_t kColourTag = 100;
constexpr int64_t kMessageDayOffset = 10'000'000;

std::string UserFilePath(std::string_view fileName) {
    return GetUserDirectory() + "/" + std::string(fileName);
}

// Fields of a table that its files store: layout order, up to the first of tag 0 or 100.
std::vector<std::pair<int, uint32_t>> StoredColumns(CMemRecord& table) {
    std::vector<std::pair<int, uint32_t>> columns;
    for (int f = 0; f < table.GetFCount(); ++f) {
        const uint32_t id = table.GetFieldIDentity(f);
        if (id == 0 || id == kColourTag) break;
        columns.emplace_back(f, id);
    }
    return columns;
}

bool ReadWholeFile(const std::string& path, std::size_t limit, std::string& bytes) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok =
        ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) <= limit;
    if (ok) {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        bytes.resize(done);  // a file that shrank while being read is taken as it was read
    }
    ::close(fd);
    return ok;
}

// Replaces path with bytes (mode 0600): written to a temporary file beside it, synced and
// renamed, so a reader sees the old file or the new one and never a half-written one.
bool ReplaceFile(const std::string& path, std::string_view bytes) {
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, 0600) == 0;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            ok = false;
        else
            done += static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

// Lines ended by CR LF, LF CR, a lone CR, a lone LF or a NUL.
class LineReader {
public:
    explicit LineReader(std::string_view bytes) : bytes_(bytes) {}
    bool AtEnd() const { return pos_ >= bytes_.size(); }
    // The next line; `terminated` tells whether a line break ended it.
    std::string_view Next(bool& terminated) {
        const std::size_t start = pos_;
        std::size_t end = start;
        while (end < bytes_.size() && bytes_[end] != '\r' && bytes_[end] != '\n' &&
               bytes_[end] != '\0') {
            ++end;
        }
        terminated = end < bytes_.size();
        pos_ = end;
        if (terminated) {
            const char c = bytes_[pos_++];
            if (c != '\0' && pos_ < bytes_.size()) {
                const char pair = c == '\r' ? '\n' : '\r';
                if (bytes_[pos_] == pair) ++pos_;
            }
        }
        return bytes_.substr(start, end - start);
    }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// "%Y%m%d": year from the first four characters, month from the next two, day from the last
// two; an out-of-range month or day rolls over as the calendar does, and the date must fall
// between 1970 and 3000.
bool IsCacheDate(std::string_view text) {
    if (text.size() != 8) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    int64_t year = platform::AtolSat(text.substr(0, 4));
    const int64_t month0 = platform::AtolSat(text.substr(4, 2)) - 1;  // -1..98
    const int64_t day = platform::AtolSat(text.substr(6, 2));
    year += month0 >= 0 ? month0 / 12 : -1;
    const int64_t month = (month0 % 12 + 12) % 12 + 1;
    const int64_t days = DaysFromCivil(year, month, 1) + day - 1;
    return days >= 0 && days < DaysFromCivil(3001, 1, 1);
}

bool LineCanCarry(std::string_view value) {
    return value.find_first_of(std::string_view("\r\n|\0", 4)) == std::string_view::npos;
}

std::string TrimmedField(std::string_view field, std::size_t budget) {
    std::size_t b = 0;
    std::size_t e = field.size();
    while (b < e && platform::AsciiIsSpace(field[b])) ++b;
    while (e > b && platform::AsciiIsSpace(field[e - 1])) --e;
    std::string text = platform::GbkToUtf8(field.substr(b, e - b));
    text.resize(platform::CutToGbkBudget(text, budget));
    return text;
}

std::string CutGbk(std::string text, std::size_t budget) {
    text.resize(platform::CutToGbkBudget(text, budget));
    return text;
}

bool InMessageDays(int64_t key) { return key >= 30000101 && key <= 39991231; }
bool InBillDays(int64_t key) { return key >= 20000101 && key <= 29991231; }

}  // namespace

std::string GetProgramVersionText() { return KELMON_VERSION_TEXT; }

bool SaveUserRecordFile(CFixRecord& table, std::string_view fileName, std::string_view dateText) {
    CMemRecord* mem = table.GetMemRecord();
    if (mem == nullptr) return false;
    const std::string path = UserFilePath(fileName);
    std::string out = platform::Utf8ToGbk(GetProgramVersionText()) + "\r\n" +
                      platform::Utf8ToGbk(dateText) + "\r\n";
    bool carried = LineCanCarry(dateText);
    mem->acquireLockShared();
    const auto columns = StoredColumns(*mem);
    std::string line;
    for (int row = 0; carried && row < mem->GetCount(); ++row) {
        line.clear();
        for (const auto& [field, id] : columns) {
            const std::string value = mem->GetItemText(field, row);
            if (!LineCanCarry(value)) {
                carried = false;
                break;
            }
            pavlet::SetFlexItem(line, id, value);
        }
        out += platform::Utf8ToGbk(line);
        out += "\r\n";
    }
    mem->releaseLockShared();
    if (!carried) {
        ::unlink(path.c_str());
        return false;
    }
    return ReplaceFile(path, out);
}

bool ParseUserRecordFile(CFixRecord& table, std::string_view bytes, std::string& date) {
    date.clear();
    CMemRecord* mem = table.GetMemRecord();
    if (mem == nullptr || mem->GetFCount() == 0) return false;
    LineReader reader(bytes);
    bool terminated = false;
    const std::string_view version = reader.Next(terminated);
    if (!terminated || reader.AtEnd() || platform::GbkToUtf8(version) != GetProgramVersionText()) {
        return false;
    }
    const std::string_view dateLine = reader.Next(terminated);
    if (!terminated || reader.AtEnd() || !IsCacheDate(dateLine)) return false;

    CMemRecord rows;
    rows.CreateFrom(mem);
    const auto columns = StoredColumns(rows);
    while (!reader.AtEnd()) {
        const std::string_view raw = reader.Next(terminated);
        if (!terminated) return false;  // cut short: the file was not written whole
        if (raw.empty()) continue;
        const std::string line = platform::GbkToUtf8(raw);
        if (line.back() != '|' || line.find('=') == std::string::npos) return false;
        const int row = rows.Append(nullptr, true);
        for (const auto& [field, id] : columns) {
            int length = 0;
            const std::size_t at =
                pavlet::GetFlexItemEntry(line, platform::FormatUnsigned(id), length);
            if (at == std::string::npos || length <= 0) continue;
            std::string_view value(line.data() + at, static_cast<std::size_t>(length));
            value = value.substr(0, platform::CutToGbkBudget(value, kCacheValueBudget));
            rows.Set(field, value, row);
        }
    }
    date.assign(dateLine);
    if (rows.GetCount() > 0) mem->Append(&rows);
    return true;
}

void LoadUserRecordFile(CFixRecord& table, std::string_view fileName, std::string& date) {
    date.clear();
    std::string bytes;
    if (!ReadWholeFile(UserFilePath(fileName), kMaxCacheFileSize, bytes)) return;
    ParseUserRecordFile(table, bytes, date);
}

void EmptyUserRecordFile(std::string_view fileName) {
    const std::string path = UserFilePath(fileName);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    ReplaceFile(path, {});
}

int MigrateMessageTextFile(const std::string& storePath, const std::string& textPath) {
    std::string bytes;
    if (!ReadWholeFile(textPath, kMaxMessageFileSize, bytes)) return 0;
    static const tagFIXHEADERINFO kLayout[] = {
        {1219, "SJWB", "C20", 0}, {1332, "LX", "C16", 0}, {1777, "NR", "C1024", 0},
        {100, "color", "N10", 0}, {605, "KHH", "C20", 0}, {1410, "FBRQ", "C10", 0},
        {651, "RQ", "C10", 0},    {3203, "SJ", "C8", 0},  {0, "", "", 0}};
    CFixRecord messages;
    messages.Create(kLayout);
    CMemRecord* mem = messages.GetMemRecord();
    if (mem == nullptr) return 0;

    LineReader reader(bytes);
    while (!reader.AtEnd()) {
        bool terminated = false;
        const std::string_view line = reader.Next(terminated);
        if (line.empty()) continue;
        std::string_view fields[5];
        std::string_view rest = line;
        for (int i = 0; i < 5 && !rest.empty(); ++i) {
            const std::size_t tab = rest.find('\t');
            fields[i] = rest.substr(0, tab);
            rest = tab == std::string_view::npos ? std::string_view() : rest.substr(tab + 1);
        }
        const int row = mem->Append(nullptr, true);
        messages.Set(651, TrimmedField(fields[0], 31), row);
        messages.Set(3203, TrimmedField(fields[1], 31), row);
        messages.Set(1219, TrimmedField(fields[2], 31), row);
        messages.Set(1332, TrimmedField(fields[3], 255), row);
        messages.Set(1777, TrimmedField(fields[4], 2047), row);
    }
    if (mem->GetCount() == 0) return 0;
    mem->Sort("RQ", true);

    CRandomMassFile store;
    store.SetFilename(storePath.c_str());
    int written = 0;
    std::string group;
    std::string groupDate;
    auto flush = [&] {
        if (group.empty()) return;
        std::string digits = groupDate;
        pavlet::strremove(digits, '.');
        const int64_t key = platform::Atol64Sat(digits) + kMessageDayOffset;
        if (InMessageDays(key)) {
            const std::string gbk = platform::Utf8ToGbk(group);
            if (store.WriteRandomMass(static_cast<uint32_t>(key), gbk.data(),
                                      static_cast<int32_t>(gbk.size())) != 0) {
                ++written;
            }
        }
        group.clear();
    };
    for (int row = 0; row < mem->GetCount(); ++row) {
        const std::string date = messages.Get(651, row);
        if (row > 0 && date != groupDate) flush();
        groupDate = date;
        std::string item;
        for (const unsigned id : {651u, 3203u, 1219u, 1332u, 1777u}) {
            pavlet::SetFlexItem(item, id, messages.Get(id, row));
        }
        if (!group.empty()) group += '\x05';
        group += item;
    }
    flush();
    store.Close();
    return written;
}

int MigrateIndexedFiles(const std::string& storePath, const std::string& olderFolder) {
    CRandomMassFile store;
    store.SetFilename(storePath.c_str());
    int written = 0;
    auto carry = [&](const std::string& path, bool messages) {
        CIndexedFile file;
        file.SetFilename(path);
        for (int position = 0;; ++position) {
            uint32_t key = 0;
            std::string text = file.ReadRecord(position, key);
            if (key == 0) break;
            const int64_t storeKey = messages ? int64_t{key} + kMessageDayOffset : int64_t{key};
            if (text.empty() || !(messages ? InMessageDays(storeKey) : InBillDays(storeKey))) {
                continue;
            }
            if (messages) pavlet::strcrep(text, '\n', '\x05');
            const std::string gbk = platform::Utf8ToGbk(text);
            if (store.WriteRandomMass(static_cast<uint32_t>(storeKey), gbk.data(),
                                      static_cast<int32_t>(gbk.size())) != 0) {
                ++written;
            }
        }
    };
    carry(olderFolder + "/MESSAGE.rmf", true);
    carry(olderFolder + "/帐单.rmf", false);
    store.Close();
    return written;
}

void SaveTableToLocalize(CFixRecord& table, std::string_view section) {
    CMemRecord* mem = table.GetMemRecord();
    if (mem == nullptr) return;
    const std::string path = GetLocalizeIniPath();
    platform::DeleteProfileSection(path, section);
    platform::WriteProfileString(path, section, "VERSION", GetProgramVersionText());
    mem->acquireLockShared();
    const auto columns = StoredColumns(*mem);
    const int count = mem->GetCount();
    for (int row = 0; row < count; ++row) {
        std::string line;
        for (const auto& [field, id] : columns) {
            pavlet::SetFlexItem(line, id, mem->GetItemText(field, row));
        }
        platform::WriteProfileString(path, section, std::string(section) + std::to_string(row),
                                     line);
    }
    mem->releaseLockShared();
    platform::WriteProfileString(path, section, std::string(section) + std::to_string(count), "");
}

void LoadTableFromLocalize(CFixRecord& table, std::string_view section) {
    CMemRecord* mem = table.GetMemRecord();
    if (mem == nullptr) return;
    const std::string path = GetLocalizeIniPath();
    if (platform::ReadProfileString(path, section, "VERSION") != GetProgramVersionText()) return;
    CMemRecord rows;
    rows.CreateFrom(mem);
    const auto columns = StoredColumns(rows);
    for (int n = 0;; ++n) {
        const std::string value = CutGbk(
            platform::ReadProfileString(path, section, std::string(section) + std::to_string(n)),
            2047);
        if (value.empty()) break;
        const int row = rows.Append(nullptr, true);
        for (const auto& [field, id] : columns) {
            int length = 0;
            const std::size_t at =
                pavlet::GetFlexItemEntry(value, platform::FormatUnsigned(id), length);
            if (at == std::string::npos) {
                rows.Zap();  // a row without one of its columns: what was read is dropped
                break;
            }
            rows.Set(field, CutGbk(value.substr(at, static_cast<std::size_t>(length)), 255), row);
        }
    }
    if (rows.GetCount() > 0) mem->Append(&rows);
}

void ClearLocalizeSection(std::string_view section) {
    platform::DeleteProfileSection(GetLocalizeIniPath(), section);
}

}  // namespace shell
