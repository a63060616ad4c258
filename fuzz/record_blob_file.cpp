// Fuzzes the keyed blob file with arbitrary file contents: open, enumerate and read every
// record, the user texts, then one write (read back) and one remove.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "record/RandomMassFile.h"

namespace {

// One scratch folder per run, in memory when /dev/shm is there, removed at exit.
class ScratchFile {
public:
    ScratchFile() {
        std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm/record_blob_file-XXXXXX"
                                                        : "/tmp/record_blob_file-XXXXXX";
        if (mkdtemp(dir.data()) == nullptr) std::abort();
        dir_ = dir;
        path_ = dir + "/fuzz.rmf";
    }
    ~ScratchFile() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string dir_, path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ScratchFile scratch;
    const std::string& path = scratch.path();
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, out) != size) std::abort();
    std::fclose(out);
    std::remove((path + ".bad").c_str());

    CRandomMassFile file;
    file.SetFilename(path.c_str());
    CRandomMassFile::IsRandomMassFile(path.c_str());
    if (!file.Open()) return 0;

    // The slot count the input claims, and what its length can hold, bound the walk; slots
    // past the real count answer 0.
    const size_t claimed = size >= 6 ? data[4] | data[5] << 8 : 0;
    const int walk = static_cast<int>(std::min(claimed, size / 24)) + 1;
    uint32_t firstKey = 0;
    for (int slot = 0; slot <= walk; ++slot) {
        const uint32_t key = file.GetRandomMassKeyword(slot);
        if (key == 0 || key == 0xFFFFFFFF) continue;
        if (firstKey == 0) firstKey = key;
        int32_t time = 0;
        const int32_t needed = file.ReadRandomMass(key, nullptr, 0, &time);
        if (needed > 0 && needed <= (64 << 20)) {
            std::vector<uint8_t> buffer(static_cast<size_t>(needed));
            const int32_t n = file.ReadRandomMass(key, buffer.data(), needed, nullptr);
            if (n >= needed) std::abort();
            if (n >= 0 && buffer[static_cast<size_t>(n)] != 0) std::abort();
        }
        file.ReadRandomMass(key, &time);
    }
    std::string text1, text2;
    file.GetUserInfo(&text1, &text2);

    const int32_t length = static_cast<int32_t>(std::min<size_t>(size, 1000));
    if (length > 0 && file.WriteRandomMass(0x12345678, data, length) == 1) {
        std::vector<uint8_t> back(static_cast<size_t>(length) + 8);
        const int32_t n = file.ReadRandomMass(0x12345678, back.data(),
                                              static_cast<int32_t>(back.size()), nullptr);
        if (n != length || !std::equal(back.begin(), back.begin() + length, data)) std::abort();
    }
    if (firstKey != 0) file.RemoveRandomMass(firstKey);
    file.SetUserInfo("fuzz", nullptr);
    return 0;
}
