// Profile files: whole GBK lines are converted before anything is looked for in them (a GBK
// trail byte can be '[', ']' or '|'), parsed documents are cached per path, and writes
// replace the file through a synced temporary file.
#include "platform/core/ProfileFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>

#include "platform/core/Encoding.h"

namespace platform {
namespace {

// ---- parsed documents -----------------------------------------------------------------

struct NoCaseHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const {
        std::size_t h = 14695981039346656037ull;
        for (char c : s) h = (h ^ static_cast<unsigned char>(AsciiToLower(c))) * 1099511628211ull;
        return h;
    }
};
struct NoCaseEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
        return EqualsNoCaseAscii(a, b);
    }
};
using NameIndex = std::unordered_map<std::string, std::size_t, NoCaseHash, NoCaseEqual>;

// Item: a line of plain text without '=', one entry of a section used as a list.
enum class LineKind : uint8_t { Other, Section, BrokenSection, Key, Item };

struct Line {
    std::string raw;  // the bytes on disk without the line end
    LineKind kind = LineKind::Other;
    std::string name;   // UTF-8: section or key name, or the text of an item, trimmed
    std::string value;  // UTF-8: key value, trimmed and unquoted
};

struct Section {
    std::size_t header = 0;
    std::size_t lastEntry = 0;          // last key or item line of the block, or the header
    NameIndex keys;                     // first line of each key
    std::vector<std::size_t> keyOrder;  // first line of each named key, for the key list
};

struct Document {
    std::vector<Line> lines;
    std::vector<Section> sections;  // first block of each section name, in file order
    NameIndex sectionIndex;         // name -> position in sections
    bool cut = false;               // lines past kProfileMaxLines were not read

    void reindex();
    const Section* findSection(std::string_view name) const {
        const auto it = sectionIndex.find(name);
        return it == sectionIndex.end() ? nullptr : &sections[it->second];
    }
    const Line* findKey(std::string_view section, std::string_view key) const {
        const Section* s = findSection(section);
        if (s == nullptr) return nullptr;
        const auto it = s->keys.find(key);
        return it == s->keys.end() ? nullptr : &lines[it->second];
    }
    // One past the last line of the block whose header is at `header`.
    std::size_t blockEnd(std::size_t header) const {
        std::size_t i = header + 1;
        while (i < lines.size() && lines[i].kind != LineKind::Section &&
               lines[i].kind != LineKind::BrokenSection)
            ++i;
        return i;
    }
};

std::string_view trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && AsciiIsSpace(s[b])) ++b;
    while (e > b && AsciiIsSpace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::string_view unquote(std::string_view s) {
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
        return s.substr(1, s.size() - 2);
    return s;
}

bool hasHighByte(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

Line parseLine(std::string raw) {
    Line line;
    line.raw = std::move(raw);
    if (line.raw.find('\0') != std::string::npos) return line;
    std::string converted;
    std::string_view text = line.raw;
    if (hasHighByte(text)) {
        converted = GbkToUtf8(text);
        text = converted;
    }
    text = trim(text);
    if (text.empty() || text.front() == ';') return line;
    if (text.front() == '[') {
        const std::size_t close = text.rfind(']');
        if (close == std::string_view::npos) {
            line.kind = LineKind::BrokenSection;
        } else {
            line.kind = LineKind::Section;
            line.name = trim(text.substr(1, close - 1));
        }
        return line;
    }
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) {
        line.kind = LineKind::Item;
        line.name = text;
        return line;
    }
    line.kind = LineKind::Key;
    line.name = trim(text.substr(0, eq));
    line.value = unquote(trim(text.substr(eq + 1)));
    return line;
}

void Document::reindex() {
    sections.clear();
    sectionIndex.clear();
    // The section that the keys below belong to; kNoSection while none is. (An index rather
    // than an optional: GCC 12 at -O1 warns falsely that the optional's value may be unset.)
    constexpr std::size_t kNoSection = static_cast<std::size_t>(-1);
    std::size_t current = kNoSection;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        switch (line.kind) {
            case LineKind::Section: {
                const auto [it, added] = sectionIndex.try_emplace(line.name, sections.size());
                if (added) {
                    Section s;
                    s.header = s.lastEntry = i;
                    sections.push_back(std::move(s));
                    current = it->second;
                } else {
                    current = kNoSection;  // a later block of a known section is not looked at
                }
                break;
            }
            case LineKind::BrokenSection:
                current = kNoSection;
                break;
            case LineKind::Key:
                if (current != kNoSection) {
                    Section& s = sections[current];
                    s.lastEntry = i;
                    // The empty name reads, but a NUL-separated key list cannot carry it.
                    if (s.keys.try_emplace(line.name, i).second && !line.name.empty())
                        s.keyOrder.push_back(i);
                }
                break;
            case LineKind::Item:
                if (current != kNoSection) sections[current].lastEntry = i;
                break;
            case LineKind::Other:
                break;
        }
    }
}

// CR LF, LF and a lone CR each end a line, in any mix within one file.
Document parseDocument(std::string_view bytes) {
    Document doc;
    const std::size_t size = bytes.size();
    const std::size_t ends = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n') +
                                                      std::count(bytes.begin(), bytes.end(), '\r'));
    doc.lines.reserve(std::min(ends + 1, kProfileMaxLines));
    std::size_t pos = 0;
    while (pos < size) {
        if (doc.lines.size() == kProfileMaxLines) {
            doc.cut = true;
            break;
        }
        std::size_t end = pos;
        while (end < size && bytes[end] != '\n' && bytes[end] != '\r') ++end;
        doc.lines.push_back(parseLine(std::string(bytes.substr(pos, end - pos))));
        pos = end;
        if (pos < size && bytes[pos++] == '\r' && pos < size && bytes[pos] == '\n') ++pos;
    }
    doc.reindex();
    return doc;
}

std::size_t serializedSize(const Document& doc) {
    std::size_t total = 0;
    for (const Line& line : doc.lines) total += line.raw.size() + 2;
    return total;
}

std::string serialize(const Document& doc) {
    std::string out;
    out.reserve(serializedSize(doc));
    for (const Line& line : doc.lines) {
        out += line.raw;
        out += "\r\n";
    }
    return out;
}

// ---- files, cache and the atomic replace -------------------------------------------------

struct FileStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    time_t sec = 0;
    long nsec = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const struct stat& st) {
    return FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

// Modification times advance in clock ticks (whole seconds on some file systems), so a file
// changed in place again within one tick keeps its stamp. Bytes read more than this after
// the file's modification time are final for that stamp; until then every look reads the
// bytes again and compares them with those parsed.
constexpr time_t kStampSettleSeconds = 2;

struct timespec wallClock() {
    struct timespec t {};
    ::clock_gettime(CLOCK_REALTIME, &t);
    return t;
}

bool settledAt(const FileStamp& stamp, const struct timespec& readAt) {
    const time_t limit = readAt.tv_sec - kStampSettleSeconds;
    return stamp.sec < limit || (stamp.sec == limit && stamp.nsec < readAt.tv_nsec);
}

std::size_t digestOf(std::string_view bytes) { return std::hash<std::string_view>{}(bytes); }

struct CacheEntry {
    FileStamp stamp;
    std::shared_ptr<const Document> doc;
    std::size_t digest = 0;  // of the bytes parsed
    bool settled = false;    // the bytes were read well after the modification time
};

constexpr std::size_t kMaxCachedFiles = 256;

std::mutex g_cacheMutex;  // guards g_cache; held only for look-ups and stores
std::unordered_map<std::string, CacheEntry> g_cache;
std::mutex g_writeMutex;  // one read-modify-write at a time, so no write of ours is lost
std::mutex g_hookMutex;
std::function<bool(const std::string&)> g_writeHook;

void storeInCache(const std::string& file, CacheEntry entry) {
    std::lock_guard lock(g_cacheMutex);
    if (g_cache.size() >= kMaxCachedFiles && g_cache.find(file) == g_cache.end()) g_cache.clear();
    g_cache[file] = std::move(entry);
}

std::optional<CacheEntry> cached(const std::string& file) {
    std::lock_guard lock(g_cacheMutex);
    const auto it = g_cache.find(file);
    if (it == g_cache.end()) return std::nullopt;
    return it->second;
}

void dropFromCache(const std::string& file) {
    std::lock_guard lock(g_cacheMutex);
    g_cache.erase(file);
}

enum class LoadStatus { Ok, Missing, Failed };

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

bool readAll(int fd, std::string& out) {
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (out.size() + static_cast<std::size_t>(n) > kProfileMaxFileSize) return false;
        out.append(buf, static_cast<std::size_t>(n));
    }
}

// The bytes of a regular file with the stamp and mode they were read under. The stamp is
// taken before the bytes are read: a change made while reading then shows as a newer stamp
// at the next look and is parsed again.
struct FileBytes {
    std::string bytes;
    FileStamp stamp;
    mode_t mode = 0;
};

LoadStatus readFile(const std::string& file, FileBytes& out) {
    struct stat st;
    if (::stat(file.c_str(), &st) != 0)
        return (errno == ENOENT || errno == ENOTDIR) ? LoadStatus::Missing : LoadStatus::Failed;
    if (!S_ISREG(st.st_mode)) return LoadStatus::Failed;
    Fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return errno == ENOENT ? LoadStatus::Missing : LoadStatus::Failed;
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::size_t>(st.st_size) > kProfileMaxFileSize)
        return LoadStatus::Failed;
    out.bytes.reserve(static_cast<std::size_t>(st.st_size));
    if (!readAll(fd.get(), out.bytes)) return LoadStatus::Failed;
    out.stamp = stampOf(st);
    out.mode = st.st_mode & 07777;
    return LoadStatus::Ok;
}

// The parsed file for a read, or null when it is missing or cannot be read.
std::shared_ptr<const Document> loadForRead(const std::string& file) {
    struct stat st;
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        dropFromCache(file);
        return nullptr;
    }
    const std::optional<CacheEntry> entry = cached(file);
    if (entry && entry->settled && entry->stamp == stampOf(st)) return entry->doc;
    const struct timespec readAt = wallClock();
    FileBytes read;
    if (readFile(file, read) != LoadStatus::Ok) {
        dropFromCache(file);
        return nullptr;
    }
    const std::size_t digest = digestOf(read.bytes);
    std::shared_ptr<const Document> doc;
    if (entry && entry->stamp == read.stamp && entry->digest == digest)
        doc = entry->doc;
    else
        doc = std::make_shared<const Document>(parseDocument(read.bytes));
    storeInCache(file, CacheEntry{read.stamp, doc, digest, settledAt(read.stamp, readAt)});
    return doc;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Writes bytes to a temporary file beside target and renames it into place. On success
// gives the stamp the new file carries (taken from the temporary file itself, so a write
// by someone else right after the rename is not mistaken for ours).
bool replaceFile(const std::string& target, std::string_view bytes, mode_t mode, FileStamp& stamp) {
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string(".")
                            : slash == 0               ? std::string("/")
                                                       : target.substr(0, slash);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = dir + "/." + base + ".XXXXXX";
    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0) return false;
    struct stat st;
    bool ok = writeAll(fd.get(), bytes) && ::fchmod(fd.get(), mode) == 0 &&
              ::fsync(fd.get()) == 0 && ::fstat(fd.get(), &st) == 0;
    ok = ::close(fd.release()) == 0 && ok;
    if (ok) {
        std::function<bool(const std::string&)> hook;
        {
            std::lock_guard lock(g_hookMutex);
            hook = g_writeHook;
        }
        ok = !hook || hook(temp);
    }
    if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    Fd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.get() >= 0) ::fsync(dirFd.get());  // makes the rename itself durable
    stamp = stampOf(st);
    return true;
}

// The file a write replaces: the target of a symbolic link rather than the link itself.
std::optional<std::string> writeTarget(const std::string& file) {
    struct stat st;
    if (::lstat(file.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return file;
    char resolved[PATH_MAX];
    if (::realpath(file.c_str(), resolved) == nullptr) return std::nullopt;
    return std::string(resolved);
}

// Applies change to the current document and writes the result. change returns false when
// there is nothing to write (the file is then left alone).
template <typename Change>
bool modify(const std::string& file, mode_t newFileMode, Change change) {
    if (file.empty()) return false;
    std::lock_guard writeLock(g_writeMutex);
    const std::optional<std::string> target = writeTarget(file);
    if (!target) return false;
    // The bytes are read again rather than taken from the cache, so that a change made in
    // place by another program within one clock tick is not overwritten with an older copy.
    FileBytes current;
    const LoadStatus status = readFile(*target, current);
    if (status == LoadStatus::Failed) return false;
    auto doc = std::make_shared<Document>(parseDocument(current.bytes));
    current.bytes = std::string();
    if (doc->cut) return false;  // the lines not read would be lost
    if (!change(*doc)) return true;
    if (serializedSize(*doc) > kProfileMaxFileSize) return false;  // never to be read back
    doc->reindex();
    const std::string bytes = serialize(*doc);
    FileStamp stamp;
    const mode_t mode = status == LoadStatus::Ok ? current.mode : newFileMode;
    if (!replaceFile(*target, bytes, mode, stamp)) return false;
    if (*target != file) dropFromCache(file);
    storeInCache(*target, CacheEntry{stamp, std::move(doc), digestOf(bytes), false});
    return true;
}

bool hasLineBreakOrNul(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool validSection(std::string_view section) { return !hasLineBreakOrNul(section); }

bool validKey(std::string_view key) {
    return !key.empty() && !hasLineBreakOrNul(key) && key.find('=') == std::string_view::npos &&
           key.front() != ';' && key.front() != '[';
}

Line makeLine(std::string_view utf8) { return parseLine(Utf8ToGbk(utf8)); }

// The key line with a new value, keeping the key's bytes as they stand on disk (a key in
// bytes that are not GBK would otherwise come back as '?').
Line rewriteValue(const Line& line, std::string_view value) {
    const std::string_view raw = line.raw;
    std::size_t begin = 0;
    while (begin < raw.size() && AsciiIsSpace(raw[begin])) ++begin;
    std::size_t end = raw.find('=', begin);
    while (end != std::string_view::npos && end > begin && AsciiIsSpace(raw[end - 1])) --end;
    if (end != std::string_view::npos && end > begin) {
        std::string text(raw.substr(begin, end - begin));
        text += '=';
        text += Utf8ToGbk(value);
        Line rewritten = parseLine(std::move(text));
        if (rewritten.kind == LineKind::Key && rewritten.name == line.name) return rewritten;
    }
    return makeLine(std::string(line.name) + "=" + std::string(value));
}

std::string joinKeyValue(std::string_view key, std::string_view value) {
    std::string text;
    text.reserve(key.size() + 1 + value.size());
    text.append(key).append("=").append(value);
    return text;
}

// The default loses its trailing blanks, as a stored value does.
std::string_view trimEnd(std::string_view s) {
    while (!s.empty() && AsciiIsSpace(s.back())) s.remove_suffix(1);
    return s;
}

// Copies text into a caller's buffer without cutting a UTF-8 character; returns the length.
uint32_t copyText(std::string_view text, char* buffer, uint32_t size) {
    std::size_t n = std::min<std::size_t>(text.size(), size - 1);
    if (n < text.size())
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<uint32_t>(n);
}

// A list that needs the whole buffer or more is cut to size - 2 bytes and ended by two NULs,
// and gives size - 2 (so an exact fit reads as cut: the caller cannot tell them apart and
// asks again with more room). An empty list is one NUL.
uint32_t copyList(const std::vector<std::string>& names, char* buffer, uint32_t size) {
    if (names.empty() || size == 1) {
        buffer[0] = '\0';
        return 0;
    }
    const std::string list = ToDoubleNulList(names);  // ends "\0\0"
    if (list.size() < size) {
        std::memcpy(buffer, list.data(), list.size());
        return static_cast<uint32_t>(list.size() - 1);  // all but the last NUL
    }
    // The cut falls between characters; what is left of the buffer is NULs.
    std::size_t n = size - 2;
    while (n > 0 && (static_cast<unsigned char>(list[n]) & 0xC0) == 0x80) --n;
    std::memcpy(buffer, list.data(), n);
    std::memset(buffer + n, 0, size - n);
    return size - 2;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

// ---- reading -------------------------------------------------------------------------

std::optional<std::string> FindProfileString(const std::string& file, std::string_view section,
                                             std::string_view key) {
    const auto doc = loadForRead(file);
    const Line* line = doc ? doc->findKey(trim(section), trim(key)) : nullptr;
    if (!line) return std::nullopt;
    return std::string(line->value);
}

std::string ReadProfileString(const std::string& file, std::string_view section,
                              std::string_view key, std::string_view defaultValue) {
    std::optional<std::string> value = FindProfileString(file, section, key);
    return value ? std::move(*value) : std::string(trimEnd(defaultValue));
}

std::vector<std::string> ReadProfileSectionNames(const std::string& file) {
    std::vector<std::string> names;
    if (const auto doc = loadForRead(file)) {
        names.reserve(doc->sections.size());
        for (const Section& s : doc->sections) names.push_back(doc->lines[s.header].name);
    }
    return names;
}

std::vector<std::string> ReadProfileKeyNames(const std::string& file, std::string_view section) {
    std::vector<std::string> names;
    const auto doc = loadForRead(file);
    if (const Section* s = doc ? doc->findSection(trim(section)) : nullptr) {
        names.reserve(s->keyOrder.size());
        for (std::size_t i : s->keyOrder) names.push_back(doc->lines[i].name);
    }
    return names;
}

std::vector<std::string> ReadProfileSection(const std::string& file, std::string_view section) {
    std::vector<std::string> entries;
    const auto doc = loadForRead(file);
    if (const Section* s = doc ? doc->findSection(trim(section)) : nullptr) {
        const std::size_t end = doc->blockEnd(s->header);
        for (std::size_t i = s->header + 1; i < end; ++i) {
            const Line& line = doc->lines[i];
            if (line.kind == LineKind::Key)
                entries.push_back(joinKeyValue(line.name, line.value));
            else if (line.kind == LineKind::Item)
                entries.push_back(line.name);
        }
    }
    return entries;
}

// ---- writing -------------------------------------------------------------------------

bool WriteProfileString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value, mode_t newFileMode) {
    section = trim(section);
    key = trim(key);
    if (!validSection(section) || !validKey(key) || hasLineBreakOrNul(value)) return false;
    return modify(file, newFileMode, [&](Document& doc) {
        auto& lines = doc.lines;
        const auto sec = doc.sectionIndex.find(section);
        if (sec == doc.sectionIndex.end()) {
            lines.push_back(makeLine("[" + std::string(section) + "]"));
            lines.push_back(makeLine(joinKeyValue(key, value)));
            return true;
        }
        const Section& s = doc.sections[sec->second];
        const auto k = s.keys.find(key);
        if (k != s.keys.end()) {
            Line& line = lines[k->second];
            line = rewriteValue(line, value);
        } else {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(s.lastEntry + 1),
                         makeLine(joinKeyValue(key, value)));
        }
        return true;
    });
}

bool DeleteProfileKey(const std::string& file, std::string_view section, std::string_view key) {
    section = trim(section);
    key = trim(key);
    return modify(file, kProfileNewFileMode, [&](Document& doc) {
        const Section* s = doc.findSection(section);
        if (s == nullptr || s->keys.find(key) == s->keys.end()) return false;
        const std::size_t begin = s->header + 1, end = doc.blockEnd(s->header);
        std::vector<Line> kept;
        kept.reserve(doc.lines.size());
        for (std::size_t i = 0; i < doc.lines.size(); ++i) {
            Line& line = doc.lines[i];
            const bool drop = i >= begin && i < end && line.kind == LineKind::Key &&
                              EqualsNoCaseAscii(line.name, key);
            if (!drop) kept.push_back(std::move(line));
        }
        doc.lines = std::move(kept);
        return true;
    });
}

bool DeleteProfileSection(const std::string& file, std::string_view section) {
    section = trim(section);
    return modify(file, kProfileNewFileMode, [&](Document& doc) {
        if (doc.findSection(section) == nullptr) return false;
        std::vector<Line> kept;
        kept.reserve(doc.lines.size());
        bool dropping = false;
        for (Line& line : doc.lines) {
            if (line.kind == LineKind::Section || line.kind == LineKind::BrokenSection)
                dropping = line.kind == LineKind::Section && EqualsNoCaseAscii(line.name, section);
            if (!dropping) kept.push_back(std::move(line));
        }
        doc.lines = std::move(kept);
        return true;
    });
}

// ---- binary blocks -------------------------------------------------------------------

std::string EncodeProfileStruct(const void* data, std::size_t size) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::string text;
    text.reserve(size * 2 + 2);
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) {
        sum += bytes[i];
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 0xF];
    }
    sum &= 0xFF;
    text += kHex[sum >> 4];
    text += kHex[sum & 0xF];
    return text;
}

bool DecodeProfileStruct(std::string_view text, void* data, std::size_t size) {
    if (text.size() != size * 2 + 2) return false;
    std::string bytes(size + 1, '\0');
    unsigned sum = 0;
    for (std::size_t i = 0; i <= size; ++i) {
        const int hi = hexDigit(text[2 * i]), lo = hexDigit(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes[i] = static_cast<char>(hi << 4 | lo);
        if (i < size) sum += static_cast<unsigned char>(bytes[i]);
    }
    if ((sum & 0xFF) != static_cast<unsigned char>(bytes[size])) return false;
    if (size > 0) std::memcpy(data, bytes.data(), size);
    return true;
}

bool ReadProfileStruct(const std::string& file, std::string_view section, std::string_view key,
                       void* data, std::size_t size) {
    const auto doc = loadForRead(file);
    const Line* line = doc ? doc->findKey(trim(section), trim(key)) : nullptr;
    return line != nullptr && (data != nullptr || size == 0) &&
           DecodeProfileStruct(line->value, data, size);
}

bool WriteProfileStruct(const std::string& file, std::string_view section, std::string_view key,
                        const void* data, std::size_t size, mode_t newFileMode) {
    if (data == nullptr && size > 0) return false;
    return WriteProfileString(file, section, key, EncodeProfileStruct(data, size), newFileMode);
}

std::string ToDoubleNulList(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names) {
        list += name;
        list += '\0';
    }
    list += '\0';
    return list;
}

// ---- C-shaped forms --------------------------------------------------------------------

uint32_t GetPrivateProfileString(const char* section, const char* key, const char* def,
                                 char* buffer, uint32_t size, const char* file) {
    if (buffer == nullptr || size == 0) return 0;
    const std::string path = file ? file : "";
    if (section == nullptr) return copyList(ReadProfileSectionNames(path), buffer, size);
    if (key == nullptr) return copyList(ReadProfileKeyNames(path, section), buffer, size);
    return copyText(ReadProfileString(path, section, key, def ? def : ""), buffer, size);
}

bool WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const char* file) {
    if (file == nullptr) return false;
    if (section == nullptr && key == nullptr && value == nullptr) {
        dropFromCache(file);
        return true;
    }
    if (section == nullptr) return false;
    if (key == nullptr) return DeleteProfileSection(file, section);
    if (value == nullptr) return DeleteProfileKey(file, section, key);
    return WriteProfileString(file, section, key, value);
}

bool GetPrivateProfileStruct(const char* section, const char* key, void* data, uint32_t size,
                             const char* file) {
    if (section == nullptr || key == nullptr || file == nullptr) return false;
    return ReadProfileStruct(file, section, key, data, size);
}

bool WritePrivateProfileStruct(const char* section, const char* key, const void* data,
                               uint32_t size, const char* file) {
    if (section == nullptr || key == nullptr || file == nullptr) return false;
    if (data == nullptr) return DeleteProfileKey(file, section, key);
    return WriteProfileStruct(file, section, key, data, size);
}

void FlushProfileCache() {
    std::lock_guard lock(g_cacheMutex);
    g_cache.clear();
}

void SetProfileWriteHookForTesting(std::function<bool(const std::string& tempPath)> hook) {
    std::lock_guard lock(g_hookMutex);
    g_writeHook = std::move(hook);
}

}  // namespace platform
