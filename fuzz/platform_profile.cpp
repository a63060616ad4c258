// Arbitrary bytes as a profile file: every listed setting reads, a write keeps every other
// setting as it was, and the written one reads back.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <utility>

#include "platform/core/Encoding.h"
#include "platform/core/ProfileFile.h"

namespace {

const std::string& profilePath() {
    static const std::string path = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kelmon-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        return pattern + "/fuzz.ini";
    }();
    return path;
}

using Settings = std::map<std::pair<std::string, std::string>, std::string>;

Settings readAll(const std::string& path) {
    Settings all;
    for (const std::string& section : platform::ReadProfileSectionNames(path))
        for (const std::string& key : platform::ReadProfileKeyNames(path, section)) {
            // A listed key must read: with two different defaults it gives the same value.
            std::string value = platform::ReadProfileString(path, section, key, "a");
            if (value != platform::ReadProfileString(path, section, key, "b")) std::abort();
            all[{section, key}] = std::move(value);
        }
    return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = profilePath();
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    platform::FlushProfileCache();

    const Settings before = readAll(path);
    for (const auto& [name, value] : before) {
        platform::ReadProfileSection(path, name.first);
        char buf[8];
        platform::GetPrivateProfileString(name.first.c_str(), nullptr, "", buf, sizeof buf,
                                          path.c_str());
        platform::GetPrivateProfileString(name.first.c_str(), name.second.c_str(), "", buf,
                                          sizeof buf, path.c_str());
        unsigned char block[4];
        platform::ReadProfileStruct(path, name.first, name.second, block, sizeof block);
    }

    // Write into the first section when there is one, else into a new one.
    const std::string section = before.empty() ? "Fuzz" : before.begin()->first.first;
    if (!platform::WriteProfileString(path, section, "FuzzKey", "fuzz value")) {
        // Only a name that cannot be written back as a header line is refused.
        if (section.find_first_of("\r\n") == std::string::npos) std::abort();
        return 0;
    }
    platform::FlushProfileCache();
    const Settings after = readAll(path);
    if (platform::ReadProfileString(path, section, "FuzzKey") != "fuzz value") std::abort();
    for (const auto& [name, value] : before) {
        if (platform::EqualsNoCaseAscii(name.first, section) &&
            platform::EqualsNoCaseAscii(name.second, "FuzzKey"))
            continue;
        const auto it = after.find(name);
        if (it == after.end() || it->second != value) std::abort();
    }
    if (after.size() != before.size() && after.size() != before.size() + 1) std::abort();
    return 0;
}
