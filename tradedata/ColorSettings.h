// The display colours by key (COLORREF 0x00BBGGRR, kNoColor = the control's own colour), the
// cached buy/sell and open/close colours and the order-state palette indexes.
#pragma once

#include <cstdint>
#include <string>

class CFixRecord;

namespace tradedata {

inline constexpr uint32_t kNoColor = 0xFFFFFFFFu;

struct ColorSettingEntry {
    const char* caption;
    const char* key;  // null for a group heading
    uint32_t defaultColor;
};
// The entries in their order, headings before their groups, ended by an entry without caption.
const ColorSettingEntry* GetColorSettingEntries();

// Reads section "COLOR" of the private settings into current and saved, then caches.
void LoadColorSettings();
// Current colour, the default when none is set; kNoColor for an unknown key.
uint32_t GetColorSetting(const std::string& key);
// The colour the user saved, kNoColor when none.
uint32_t GetSavedColorSetting(const std::string& key);
void SetColorSetting(const std::string& key, uint32_t color);
void CacheColorSettings();
// The palette index (0-15) of an order state's colour, 0 when not a palette colour.
int GetOrderStatePaletteIndex(int state);
uint32_t GetPaletteColor(int index);

uint32_t GetDirectionColor(int32_t direction);
uint32_t GetOpenCloseColor(int32_t openClose);
// By the field shown in the column: 596 by 1718, 752 by 683; kNoColor otherwise.
uint32_t GetOrderCellColor(CFixRecord& table, int row, uint32_t column);
uint32_t GetPositionColumnColor(CFixRecord& table, int row, uint32_t column);
uint32_t GetCompareColor(double value, double reference);

}  // namespace tradedata
