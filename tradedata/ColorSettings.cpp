// The colour settings table, its private-settings load and the cached colours.
#include "tradedata/ColorSettings.h"

#include <array>
#include <cstring>
#include <mutex>

#include "record/Configure.h"
#include "record/FixRecord.h"

namespace tradedata {
namespace {

constexpr ColorSettingEntry kEntries[] = {
    {"帐户概要", nullptr, kNoColor},
    {"可用资金", "khqy_kyzj", 0xC40000},
    {"风险率", "khqy_fxl", 0xFF},
    {"权益变动(正值时)", "qybd_positive", 0x7FFF},
    {"权益变动(负值时)", "qybd_negative", 0xC000},
    {"权益变动(为零时)", "qybd_zero", 0x7F7F7F},
    {"买持数量", "khqy_mrccsl", 0xFF},
    {"卖持数量", "khqy_mcccsl", 0x7F00},
    {"其他数据", "khqy", 0x7FFF},
    {"合约行情", nullptr, kNoColor},
    {"涨跌颜色(上涨时)", "hqjg_positive", 0x5050FF},
    {"涨跌颜色(下跌时)", "hqjg_negative", 0x50FF50},
    {"持仓合约代码或名称", "hyhq_hymc", 0xFFFF50},
    {"买卖盘数量", "hyhq_mmpsl", kNoColor},
    {"买卖盘价格,最新价变动", "hyhq_bd_mmpjg", kNoColor},
    {"买卖盘数量变动", "hyhq_bd_mmpsl", kNoColor},
    {"其他数据变动", "hyhq_bd_other", kNoColor},
    {"平值期权背景", "hyhq_at_money", 0x800000},
    {"实值期权背景", "hyhq_in_money", 0x804080},
    {"虚值期权背景", "hyhq_out_money", 0x405080},
    {"执行价格背景", "hyhq_zxjg", 0x400040},
    {"扩展行情", nullptr, kNoColor},
    {"背景颜色", "exhq_bkg", 0x0},
    {"文本颜色", "exhq_text", 0xC0C0C0},
    {"分隔线颜色", "exhq_line", 0x80},
    {"合约代码", "exhq_hydm", 0xFFFF00},
    {"合约名称", "exhq_hymc", 0xFFFF},
    {"买卖委比(买入)", "exhq_wbmr", 0xFF},
    {"买卖委比(卖出)", "exhq_wbmc", 0xFF00},
    {"买卖盘数量", "exhq_mmpsl", 0xFFFF},
    {"大量单(买盘)", "attention_buy", 0x5050FF},
    {"大量单(卖盘)", "attention_sell", 0x50FF50},
    {"其他参考值", "exhq_other", 0xFFFF},
    {"交易卡", nullptr, kNoColor},
    {"合约代码", "jyk_hydm", 0x0},
    {"合约成交数量", "jyk_cjsl", 0x404040},
    {"合约持仓数量", "jyk_ccsl", 0x404040},
    {"最新价", "jyk_zxj", 0x804006},
    {"买盘价", "jyk_mrjg", 0x804006},
    {"卖盘价", "jyk_mcjg", 0x804006},
    {"买卖方向(买入)", "jyk_mmlb1", 0xFF},
    {"买卖方向(卖出)", "jyk_mmlb2", 0x7F00},
    {"涨跌颜色(上涨时)", "jyk_positive", 0xC0},
    {"涨跌颜色(下跌时)", "jyk_negative", 0x8000},
    {"涨跌颜色(持平时)", "jyk_zero", 0xFFFFFF},
    {"资金持仓", nullptr, kNoColor},
    {"客户权益", "cccx_khqy", 0x7FFF},
    {"保证金", "cccx_bzj", 0x7FFF},
    {"风险率", "cccx_fxl", 0xFF},
    {"资金信息", "cccx_kyzj", 0xC40000},
    {"盈亏变动(正值时)", "ykbd_positive", 0x7FFF},
    {"盈亏变动(负值时)", "ykbd_negative", 0xC000},
    {"盈亏变动(为零时)", "ykbd_zero", 0x7F7F7F},
    {"其他数据", "cccx", 0x7FFF},
    {"委托、成交、持仓查询", nullptr, kNoColor},
    {"开平标志-开仓", "kpbz_jylb1", 0xFF},
    {"开平标志-平仓", "kpbz_jylb2", 0x7F00},
    {"开平标志-平今", "kpbz_jylb4", 0x7F00},
    {"买卖类别-买入", "wtlb_mmlb1", 0xFF},
    {"买卖类别-卖出", "wtlb_mmlb2", 0x7F00},
    {"委托申报标志(不允许其他颜色)", nullptr, kNoColor},
    {"废单", "sbjg_sbjg3", 0xFF},
    {"未申报", "sbjg_sbjg0", 0x8000},
    {"正在申报", "sbjg_sbjg1", 0x8000},
    {"已申报", "sbjg_sbjg2", 0x8000},
    {"部分成交", "sbjg_sbjg5", 0x0},
    {"全部成交", "sbjg_sbjg6", 0x0},
    {"部成部撤", "sbjg_sbjg7", 0x0},
    {"全部撤单", "sbjg_sbjg8", 0x0},
    {"撤单未成", "sbjg_sbjg9", 0x0},
    {nullptr, nullptr, kNoColor},
};
constexpr std::size_t kEntryCount = sizeof kEntries / sizeof kEntries[0] - 1;

constexpr std::array<uint32_t, 16> kPalette = {
    0x0,      0x80, 0x8000, 0x8080, 0x800000, 0x800080, 0x808000, 0x808080,
    0xC0C0C0, 0xFF, 0xFF00, 0xFFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};

struct State {
    std::array<int64_t, kEntryCount> current;
    std::array<int64_t, kEntryCount> saved;
    uint32_t buy = 0, sell = 0, open = 0, close = 0, closeToday = 0;
    std::array<int, 10> palette{};
    State() {
        current.fill(-1);
        saved.fill(-1);
    }
};

// The settings pages write while the grids read on the same thread, but the frame's worker
// reads colours too: one small lock.
std::mutex g_mutex;
State g_state;

int IndexOf(const std::string& key) {
    for (std::size_t i = 0; i < kEntryCount; ++i)
        if (kEntries[i].key != nullptr && key == kEntries[i].key) return static_cast<int>(i);
    return -1;
}

uint32_t ColorNoLock(const std::string& key) {
    const int i = IndexOf(key);
    if (i < 0) return kNoColor;
    const int64_t current = g_state.current[i];
    return current == -1 ? kEntries[i].defaultColor : static_cast<uint32_t>(current);
}

}  // namespace

const ColorSettingEntry* GetColorSettingEntries() { return kEntries; }

void LoadColorSettings() {
    {
        std::lock_guard lock(g_mutex);
        for (std::size_t i = 0; i < kEntryCount; ++i) {
            if (kEntries[i].key == nullptr) continue;
            const int value = pavlet::ReadPrivateConfigInt("COLOR", kEntries[i].key, -1, 0, 0);
            g_state.current[i] = value;
            g_state.saved[i] = value;
        }
    }
    CacheColorSettings();
}

uint32_t GetColorSetting(const std::string& key) {
    std::lock_guard lock(g_mutex);
    return ColorNoLock(key);
}

uint32_t GetSavedColorSetting(const std::string& key) {
    std::lock_guard lock(g_mutex);
    const int i = IndexOf(key);
    return i < 0 || g_state.saved[i] == -1 ? kNoColor : static_cast<uint32_t>(g_state.saved[i]);
}

void SetColorSetting(const std::string& key, uint32_t color) {
    std::lock_guard lock(g_mutex);
    const int i = IndexOf(key);
    if (i < 0) return;
    const int64_t value = color == kNoColor ? -1 : static_cast<int64_t>(color);
    g_state.current[i] = value;
    g_state.saved[i] = value;
}

void CacheColorSettings() {
    std::lock_guard lock(g_mutex);
    g_state.buy = ColorNoLock("wtlb_mmlb1");
    g_state.sell = ColorNoLock("wtlb_mmlb2");
    g_state.open = ColorNoLock("kpbz_jylb1");
    g_state.close = ColorNoLock("kpbz_jylb2");
    g_state.closeToday = ColorNoLock("kpbz_jylb4");
    g_state.palette.fill(0);
    for (int state = 0; state < 10; ++state) {
        const uint32_t color = ColorNoLock("sbjg_sbjg" + std::to_string(state));
        for (std::size_t p = 0; p < kPalette.size(); ++p) {
            if (kPalette[p] == color) {
                g_state.palette[state] = static_cast<int>(p);
                break;
            }
        }
    }
}

int GetOrderStatePaletteIndex(int state) {
    std::lock_guard lock(g_mutex);
    return state >= 0 && state < 10 ? g_state.palette[state] : 0;
}

uint32_t GetPaletteColor(int index) {
    return index >= 0 && index < 16 ? kPalette[index] : kNoColor;
}

uint32_t GetDirectionColor(int32_t direction) {
    std::lock_guard lock(g_mutex);
    if (direction == 1) return g_state.buy;
    return direction == 2 ? g_state.sell : 0xFF0000;
}

uint32_t GetOpenCloseColor(int32_t openClose) {
    std::lock_guard lock(g_mutex);
    switch (openClose) {
        case 1:
            return g_state.open;
        case 2:
            return g_state.close;
        case 4:
            return g_state.closeToday;
        default:
            return 0xFF0000;
    }
}

uint32_t GetOrderCellColor(CFixRecord& table, int row, uint32_t column) {
    if (column == 596) return GetOpenCloseColor(table.GetLong(1718, row));
    if (column == 752) return GetDirectionColor(table.GetLong(683, row));
    return kNoColor;
}

uint32_t GetPositionColumnColor(CFixRecord&, int, uint32_t column) {
    if (column >= 2044 && column <= 2050) return GetDirectionColor(1);
    if (column >= 2051 && column <= 2057) return GetDirectionColor(2);
    return kNoColor;
}

uint32_t GetCompareColor(double value, double reference) {
    if (value > reference) return 0x5050FF;
    return value < reference ? 0x50FF50 : 0xFF5050;
}

}  // namespace tradedata
