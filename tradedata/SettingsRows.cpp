// Table rows in settings files, as flex lists or as comma-separated values.
#include "tradedata/SettingsRows.h"

#include <algorithm>
#include <vector>

#include "platform/core/Encoding.h"
#include "platform/core/ProfileFile.h"
#include "record/Configure.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "record/StringHelpers.h"

namespace tradedata {
namespace {

constexpr unsigned kColourId = 100;
constexpr unsigned kCheckBoxId = 3010;

std::vector<std::pair<int, unsigned>> StoredFields(CMemRecord& table) {
    std::vector<std::pair<int, unsigned>> fields;
    for (int f = 0; f < table.GetFCount(); ++f) {
        const unsigned id = table.GetFieldIDentity(f);
        if (id == 0) break;
        if (id != kColourId && id != kCheckBoxId) fields.emplace_back(f, id);
    }
    return fields;
}

std::string Cut(std::string text, std::size_t budget) {
    text.resize(platform::CutToGbkBudget(text, budget));
    return text;
}

std::string CsvFile(const std::string& iniPath) {
    if (!iniPath.empty()) return iniPath;
    std::string file = pavlet::GetPrivateProfileName();
    return file.empty() ? pavlet::GetProfileName() : file;
}

std::string RowKey(std::string_view section, int n) {
    return std::string(section) + std::to_string(n);
}

}  // namespace

void LoadFlexRowsFromIni(CFixRecord& table, std::string_view section, const std::string& iniPath) {
    CMemRecord* mem = table.GetMemRecord();
    if (mem == nullptr) return;
    const auto fields = StoredFields(*mem);
    for (int n = 1;; ++n) {
        const std::string value =
            Cut(platform::ReadProfileString(iniPath, section, RowKey(section, n)), 2047);
        if (value.empty()) break;
        const int row = mem->Append(nullptr, true);
        for (const auto& [field, id] : fields) {
            mem->Set(field, Cut(pavlet::GetFlexItem(value, id), 254), row);
        }
    }
}

void SaveFlexRowsToIni(CFixRecord& table, std::string_view section, const std::string& iniPath,
                       std::span<const unsigned> identities) {
    CMemRecord* mem = table.GetMemRecord();
    if (mem == nullptr) return;
    platform::DeleteProfileSection(iniPath, section);
    mem->acquireLockShared();
    const auto fields = StoredFields(*mem);
    for (int row = 0; row < mem->GetCount(); ++row) {
        std::string line;
        for (const auto& [field, id] : fields) {
            if (!identities.empty() &&
                std::find(identities.begin(), identities.end(), id) == identities.end()) {
                continue;
            }
            pavlet::SetFlexItem(line, id, mem->GetItemText(field, row));
        }
        platform::WriteProfileString(iniPath, section, RowKey(section, row + 1), line);
    }
    mem->releaseLockShared();
}

void LoadCsvRowsFromIni(CFixRecord& table, std::string_view section, unsigned keyIdentity,
                        std::span<const unsigned> identities, const std::string& iniPath) {
    CMemRecord* mem = table.GetMemRecord();
    const std::string file = CsvFile(iniPath);
    if (mem == nullptr || file.empty()) return;
    for (const std::string& key : platform::ReadProfileKeyNames(file, section)) {
        const std::string value = Cut(platform::ReadProfileString(file, section, key), 1023);
        if (value.empty()) continue;
        const int row = mem->Append(nullptr, true);
        if (keyIdentity != 0) table.Set(keyIdentity, std::string_view(key), row);
        for (std::size_t j = 0; j < identities.size(); ++j) {
            table.Set(identities[j],
                      std::string_view(pavlet::GetSubString(value, ',', static_cast<int>(j))), row);
        }
    }
}

void SaveCsvRowsToIni(CFixRecord& table, std::string_view section, unsigned keyIdentity,
                      std::span<const unsigned> identities, const std::string& iniPath) {
    CMemRecord* mem = table.GetMemRecord();
    const std::string file = CsvFile(iniPath);
    if (mem == nullptr || file.empty()) return;
    platform::DeleteProfileSection(file, section);
    mem->acquireLockShared();
    for (int row = 0; row < mem->GetCount(); ++row) {
        const std::string key =
            keyIdentity != 0 ? table.Get(keyIdentity, row) : RowKey(section, row + 1);
        std::string value;
        for (const unsigned id : identities) value += table.Get(id, row) + ",";
        platform::WriteProfileString(file, section, key, value);
    }
    mem->releaseLockShared();
}

}  // namespace tradedata
