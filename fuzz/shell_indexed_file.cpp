// Fuzzes the older indexed file reader with arbitrary file contents: open, every record by
// position and by key, and the buffer form with the size it asked for.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "shell/services/IndexedFile.h"
#include "tests/support/TempDir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static testsupport::TempDir dir;
    static const std::string path = dir.file("MESSAGE.rmf");
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);

    shell::CIndexedFile file;
    file.SetFilename(path);
    if (!file.Open()) return 0;
    for (int position = 0; position < 64; ++position) {
        uint32_t key = 0;
        const std::string text = file.ReadRecord(position, key);
        if (key == 0) break;
        const std::string keyText = std::to_string(key);
        const int32_t needed = file.ReadRecordByKey(keyText, nullptr, 0);
        if (needed > 0 && needed <= (1 << 20)) {
            std::vector<char> buffer(static_cast<std::size_t>(needed));
            file.ReadRecordByKey(keyText, buffer.data(), needed);
        }
        file.GetRecordText(keyText);
    }
    return 0;
}
