// Reading and parsing the program's string table, loaded once per source and then shared.
#include "shell/StringTable.h"

#include <QFile>
#include <cctype>
#include <mutex>

#include "platform/core/Numbers.h"

namespace shell {
namespace {

struct Table {
    std::mutex mutex;
    std::string source = kStringTableResource;
    bool loaded = false;
    std::map<unsigned, std::string> strings;
};

Table& TheTable() {
    static Table table;
    return table;
}

bool Fail(std::string* error, int line, const char* what) {
    if (error) *error = "line " + std::to_string(line) + ": " + what;
    return false;
}

// One `<id> "<text>"` line; false when it is not one.
bool ParseLine(std::string_view line, unsigned* id, std::string* text, const char** what) {
    size_t at = 0;
    while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at]))) ++at;
    if (at == 0 || at > 6) {
        *what = "no string number";
        return false;
    }
    const long number = platform::AtolSat(std::string(line.substr(0, at)));
    if (number <= 0 || number >= 0x10000) {
        *what = "string number out of range";
        return false;
    }
    *id = static_cast<unsigned>(number);
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    if (at >= line.size() || line[at] != '"') {
        *what = "no quoted text";
        return false;
    }
    text->clear();
    for (++at; at < line.size(); ++at) {
        const char c = line[at];
        if (c == '"') break;
        if (c != '\\') {
            *text += c;
            continue;
        }
        if (++at >= line.size()) break;
        switch (line[at]) {
            case 'n':
                *text += '\n';
                break;
            case 'r':
                *text += '\r';
                break;
            case 't':
                *text += '\t';
                break;
            case '"':
            case '\\':
                *text += line[at];
                break;
            default:
                *what = "unknown escape";
                return false;
        }
    }
    if (at >= line.size()) {
        *what = "unterminated text";
        return false;
    }
    for (++at; at < line.size(); ++at)
        if (line[at] != ' ' && line[at] != '\t') {
            *what = "text after the closing quote";
            return false;
        }
    return true;
}

}  // namespace

bool ParseStringTable(std::string_view text, std::map<unsigned, std::string>* table,
                      std::string* error) {
    table->clear();
    int lineNumber = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.empty() || line.starts_with("//")) continue;
        unsigned id = 0;
        std::string value;
        const char* what = "";
        if (!ParseLine(line, &id, &value, &what)) {
            table->clear();
            return Fail(error, lineNumber, what);
        }
        if (!table->emplace(id, std::move(value)).second) {
            table->clear();
            return Fail(error, lineNumber, "string number given twice");
        }
    }
    return true;
}

void SetStringTableSource(const std::string& path) {
    Table& table = TheTable();
    std::lock_guard lock(table.mutex);
    table.source = path.empty() ? std::string(kStringTableResource) : path;
    table.loaded = false;
    table.strings.clear();
}

bool LoadResString(std::string& out, unsigned id) {
    out.clear();
    if (id == 0 || id >= 0x10000) return false;
    Table& table = TheTable();
    std::lock_guard lock(table.mutex);
    if (!table.loaded) {
        table.loaded = true;
        QFile file(QString::fromStdString(table.source));
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            // A damaged table gives no strings rather than some of them.
            ParseStringTable(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
                             &table.strings, nullptr);
        }
    }
    if (auto found = table.strings.find(id); found != table.strings.end()) out = found->second;
    return true;
}

}  // namespace shell
