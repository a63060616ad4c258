// The global record tables, their layouts, the table service by number and the two ways of
// changing a whole table while other threads read it.
#include "tradedata/GlobalTables.h"

#include <mutex>
#include <utility>

#include "record/MemRecord.h"

namespace tradedata {

// Construction order is declaration order; exit destroys them in reverse.
CFixRecord AccountTable;
CFixRecord TradingCodeTable;
CFixRecord FundsTable;
CFixRecord PositionSummaryTable;
CFixRecord PositionDetailTable;
CFixRecord BankAccountTable;
CFixRecord NoticeTable;
CFixRecord MessageTable;
CFixRecord LinkedClientTable;
CFixRecord TradingGroupTable;
CFixRecord GroupMemberTable;
CFixRecord PreplacedOrderTable;
CFixRecord CombinationQuoteListTable;
CFixRecord ContractParamTable;
CFixRecord CombinationPositionTable;
CFixRecord ExchangeTable;
CFixRecord ProductTable;
CFixRecord CurrencyTable;
CFixRecord DictionaryTable;
CFixRecord FuturesContractTable;
CFixRecord PriceSourceTable;
CFixRecord BankTable;
CFixRecord CombinationContractTable;
CFixRecord CombinationLegTable;
CFixRecord QuoteSubscriptionTable;
CFixRecord RateTable;
CFixRecord ClientMarginTable;
CFixRecord ExchangeRateTable;
CFixRecord OptionContractTable;
CFixRecord UnderlyingTable;
CFixRecord ExchangeCombinationCodeTable;
CFixRecord CombinationByLegsTable;
CFixRecord CombinationByFirstLegTable;
CFixRecord CombinationBySecondLegTable;
CFixRecord ProductPrefixTable;
CFixRecord TradeCardParamTable;
CFixRecord OptionCombinationTable;
CFixRecord OrderTable;
CFixRecord TwoLegOrderTable;
CFixRecord TradeTable;
CFixRecord TradeDetailTable;
CFixRecord OrderCountTable;

// ------------------------------------------------------------------ account tables

const tagFIXHEADERINFO kAccountLayout[] = {{608, "KHLB", "N1", 0},     {697, "YYB", "C8", 0},
                                           {605, "KHH", "C16", 0},     {607, "KHJL", "C16", 0},
                                           {613, "KHXM", "C32", 0},    {598, "JYMM", "C32", 0},
                                           {714, "ZJMM", "C32", 0},    {570, "FWXM", "N1", 0},
                                           {1844, "EN_FWXM", "N1", 0}, {1831, "JSDRQ", "C16", 0},
                                           {1837, "XZBH", "N1", 0},    {9083, "NOTIFY", "N1", 0},
                                           {9084, "UPDATE", "N1", 0},  {739, "FLAG", "N1", 0},
                                           {922, "FJXX", "C256", 0},   {964, "TBTS", "C256", 0},
                                           {1730, "GSDM", "C32", 0},   {3001, "KHDM", "C32", 0},
                                           {1332, "TYPE", "C128", 0},  {920, "MMMY", "C128", 0},
                                           {820, "LPBM", "N1", 0},     {0, "", "", 0}};

const tagFIXHEADERINFO kTradingCodeLayout[] = {{599, "JYS", "C6", 0},   {1716, "JYBM", "C16", 0},
                                               {795, "JSZH", "C16", 0}, {691, "XWDM", "C32", 0},
                                               {574, "GDSX", "N1", 0},  {511, "BZ", "C8", 0},
                                               {605, "KHH", "C16", 0},  {0, "", "", 0}};

const tagFIXHEADERINFO kFundsLayout[] = {{763, "BROWINDEX", "C32", 0},
                                         {803, "SRYE", "R12.2", 0},
                                         {1779, "KHQY", "R12.2", 0},
                                         {895, "SRJE", "R12.2", 0},
                                         {896, "FCJE", "R12.2", 0},
                                         {619, "KYZJ", "R12.2", 0},
                                         {617, "KQZJ", "R12.2", 0},
                                         {9125, "QLJSR", "R12.2", 0},
                                         {9126, "QLJFC", "R12.2", 0},
                                         {9124, "ZQLJSF", "R12.2", 0},
                                         {1774, "DSCCYK", "R12.2", 0},
                                         {1776, "DSPCYK", "R12.2", 0},
                                         {1773, "FDCCYK", "R12.2", 0},
                                         {1775, "FDPCYK", "R12.2", 0},
                                         {9137, "ZXSZ", "R12.2", 0},
                                         {761, "FDYK", "R12.2", 0},
                                         {1735, "DJBZJ", "R12.2", 0},
                                         {1720, "BZJ", "R12.2", 0},
                                         {1461, "DRDJ", "R13.2", 0},
                                         {546, "BRKCBZJ", "R12.2", 0},
                                         {542, "BRPCBZJ", "R12.2", 0},
                                         {684, "WTYHBZJ", "R12.2", 0},
                                         {1740, "CCYHBZJ", "R12.2", 0},
                                         {1724, "FXL", "R9.5", 0},
                                         {1746, "DRSXF", "R13.2", 0},
                                         {709, "ZHYE", "R12.2", 0},
                                         {764, "DJZJ", "R12.2", 0},
                                         {652, "RZJE", "R12.2", 0},
                                         {2570, "ZRJE", "R12.2", 0},
                                         {2569, "ZCJE", "R12.2", 0},
                                         {2571, "ZYYE", "R12.2", 0},
                                         {2572, "KJYJE", "R12.2", 0},
                                         {2575, "DRQTDJ_TS", "R13.2", 0},
                                         {2576, "DRPCBZJ_TS", "R12.2", 0},
                                         {2577, "DSPCYK_TS", "R12.2", 0},
                                         {2573, "BZJ_TS", "R12.2", 0},
                                         {1792, "DSCCYK_TS", "R12.2", 0},
                                         {511, "BZ", "C4", 0},
                                         {716, "ZJZH", "C16", 0},
                                         {1236, "CQDJ", "R12.2", 0},
                                         {827, "YCDJJE", "R12.2", 0},
                                         {605, "KHH", "C16", 0},
                                         {0, "", "", 0}};

// The columns the detail and the summary share, in order, around the ones only one has.
#define KELMON_POSITION_HEAD \
    {601, "交易所", "C16", 0}, {719, "合约代码", "C32", 0}, { 752, "买卖", "C8", 0 }
// 1460 sits between the open average and quantity and the rest: a detail row's own available
// quantity, the summary's total of today's and yesterday's.
#define KELMON_POSITION_OPEN \
    {1209, "开仓均价", "R9.4", 0}, { 757, "持仓量", "N8", 0 }
#define KELMON_POSITION_BODY                                                                \
    {684, "挂单", "N8", 0}, {729, "最新价", "R9.4", 0}, {1774, "盯市盈亏", "R10.2", 0},     \
        {1773, "浮动盈亏", "R10.2", 0}, {1720, "保证金占用", "R12.2", 0},                   \
        {1722, "交割数量", "N8", 0}, {3053, "投保", "C8", 0}, {1716, "交易编码", "C10", 0}, \
        {722, "合约名称", "C32", 0}, {100, "color", "N1", 0}, {                             \
        3216, "image", "N1", 0                                                              \
    }
#define KELMON_POSITION_MIDDLE                                                                  \
    {1392, "ZQDM1", "C32", 0}, {1393, "ZQDM2", "C32", 0}, {524, "CJJE", "R9.2", 0},             \
        {1210, "LJYK", "R12.2", 0}, {2040, "JCCJE", "R12.2", 0}, {2039, "ZCCJE", "R12.2", 0}, { \
        644, "FLAGS", "N1", 0                                                                   \
    }
#define KELMON_POSITION_TAIL                                                                      \
    {724, "ZQSL", "N8", 0}, {1807, "KCCJSL", "N8", 0}, {9137, "QQSZ", "R12.2", 0},                \
        {9123, "QLJSF", "R12.2", 0}, {980, "CCCB", "R12.2", 0}, {515, "CBJS", "R12.2", 0},        \
        {1740, "KCSL", "N8", 0}, {1727, "PCYK", "R12.2", 0}, {1747, "BRPCYK", "R12.2", 0},        \
        {3678, "CBJ", "R9.4", 0}, {1098, "BBJ", "R9.4", 0}, {2019, "ZXBBJ", "R9.4", 0},           \
        {2016, "FDPCYK", "R12.2", 0}, {2017, "FDZXYK", "R12.2", 0}, {2018, "BDZXJ", "R9.4", 0}, { \
        1854, "CPFLAG", "N1", 0                                                                   \
    }
#define KELMON_POSITION_END                                                                       \
    {683, "WTLB", "N1", 0}, {1717, "TZLB", "N1", 0}, {599, "JYS", "C4", 0},                       \
        {1752, "MSDW", "R9.2", 0}, {1045, "XSJD", "N1", 0}, {1873, "HYLX", "N1", 0},              \
        {720, "ZQLB", "C6", 0}, {605, "group", "C64", 0}, {511, "BZ", "C4", 0},                   \
        {1234, "SXF", "R12.2", 0}, {813, "ZJSJ", "R9.4", 0}, {853, "ZCCSL", "N8", 0},             \
        {854, "ZCCJJ", "R9.4", 0}, {845, "JCCSL", "N8", 0}, {846, "JCCJJ", "R9.4", 0},            \
        {2037, "ZXJ1", "R9.4", 0}, {2038, "ZXJ2", "R9.4", 0}, {2027, "CJJE1", "R12.2", 0},        \
        {2028, "CJJE2", "R12.2", 0}, {2029, "ZCCSL1", "N8", 0}, {2030, "ZCCSL2", "N8", 0},        \
        {2031, "JCCSL1", "N8", 0}, {2032, "JCCSL2", "N8", 0}, {2033, "ZCCJE1", "R12.2", 0},       \
        {2034, "ZCCJE2", "R12.2", 0}, {2035, "JCCJE1", "R12.2", 0}, {2036, "JCCJE2", "R12.2", 0}, \
        {1714, "JYSBZJ", "R12.2", 0}, {9129, "YHBZJ", "R12.2", 0}, {                              \
        958, "BDSL", "N8", 0                                                                      \
    }

const tagFIXHEADERINFO kPositionDetailLayout[] = {
    KELMON_POSITION_HEAD,      {662, "今昨", "C8", 0},
    KELMON_POSITION_OPEN,      {1460, "可用", "N8", 0},
    KELMON_POSITION_BODY,      {1137, "QSBZ", "N1", 0},
    KELMON_POSITION_MIDDLE,    {603, "KCRQ", "C16", 0},
    {681, "WTH", "N8", 0},     KELMON_POSITION_TAIL,
    {2026, "ZHCCSL", "N8", 0}, KELMON_POSITION_END,
    {889, "ZHBH", "N8", 0},    {0, "", "", 0}};

const tagFIXHEADERINFO kPositionSummaryLayout[] = {KELMON_POSITION_HEAD,
                                                   KELMON_POSITION_OPEN,
                                                   {1460, "总可用", "N9", 0},
                                                   KELMON_POSITION_BODY,
                                                   KELMON_POSITION_MIDDLE,
                                                   KELMON_POSITION_TAIL,
                                                   KELMON_POSITION_END,
                                                   {1861, "今可用", "N9", 0},
                                                   {1860, "昨可用", "N9", 0},
                                                   {1776, "平仓盈亏", "R13.2", 0},
                                                   {0, "", "", 0}};

#undef KELMON_POSITION_HEAD
#undef KELMON_POSITION_OPEN
#undef KELMON_POSITION_BODY
#undef KELMON_POSITION_MIDDLE
#undef KELMON_POSITION_TAIL
#undef KELMON_POSITION_END

const tagFIXHEADERINFO kBankAccountLayout[] = {
    {908, "银行名称", "C8", 0}, {514, "币种", "C6", 0},      {693, "银行帐号", "C32", 0},
    {100, "color", "N1", 0},    {716, "资金帐号", "C16", 0}, {692, "YHDM", "C8", 0},
    {511, "BZ", "C6", 0},       {605, "KHH", "C16", 0},      {0, "", "", 0}};

const tagFIXHEADERINFO kNoticeLayout[] = {
    {1219, "时间", "C8", 0}, {1332, "消息类型", "C16", 0}, {1777, "内容", "C1024", 0},
    {100, "color", "N1", 0}, {605, "KHH", "C16", 0},       {797, "LSH", "N1", 0},
    {3044, "Font", "N1", 0}, {1410, "FBRQ", "C10", 0},     {651, "RQ", "C10", 0},
    {3203, "SJ", "C8", 0},   {644, "FLAGS", "N1", 0},      {0, "", "", 0}};

const tagFIXHEADERINFO kMessageLayout[] = {{1219, "发生时间", "C8", 0},
                                           {596, "信息类型", "C8", 0},
                                           {508, "信息内容", "C256", 0},
                                           {100, "color", "N1", 0},
                                           {644, "FLAGS", "N1", 0},
                                           {1080, "clbz", "N1", 0},
                                           {0, "", "", 0}};

const tagFIXHEADERINFO kLinkedClientLayout[] = {
    {605, "客户号", "C16", 0}, {613, "客户姓名", "C32", 0}, {100, "color", "N1", 0},
    {697, "YYB", "C8", 0},     {1837, "XZBH", "N1", 0},     {0, "", "", 0}};

const tagFIXHEADERINFO kTradingGroupLayout[] = {{1839, "小组编号", "N1", 0},
                                                {3031, "小组简称", "C64", 0},
                                                {613, "下单方式", "C32", 0},
                                                {100, "color", "N1", 0},
                                                {1840, "XDFS", "N1", 0},
                                                {1837, "XZBH", "N1", 0},
                                                {0, "", "", 0}};

const tagFIXHEADERINFO kGroupMemberLayout[] = {
    {605, "客户号", "C16", 0},  {613, "客户姓名", "C32", 0},
    {591, "交易倍数", "N8", 0}, {100, "color", "N1", 0},
    {1839, "FZBH", "N1", 0},    {1837, "XZBH", "N1", 0},
    {684, "WTSL", "N1", 0},     {0, "", "", 0}};

const tagFIXHEADERINFO kPreplacedOrderLayout[] = {
    {7107, "XGRQ", "C8", 0},   {750, "XGSJ", "C8", 0},   {605, "KHH", "C16", 0},
    {599, "JYS", "C4", 0},     {1716, "JYBM", "C12", 0}, {719, "ZQDM", "C32", 0},
    {682, "WTJG", "R9.4", 0},  {684, "WTSL", "N8", 0},   {681, "WTH", "N8", 0},
    {865, "FSSJ", "C8", 0},    {1681, "DDLX", "N1", 0},  {834, "WTJC", "R9.4", 0},
    {755, "CXBZ", "N4", 0},    {683, "MMLB", "N4", 0},   {1718, "KPBZ", "N4", 0},
    {1717, "TZLB", "N4", 0},   {1390, "ZDSJ", "C8", 0},  {7125, "HYDM", "C32", 0},
    {832, "JGBM", "N4", 0},    {1783, "PDFX", "N4", 0},  {839, "JGLB", "N4", 0},
    {1800, "CFJG", "R9.4", 0}, {644, "FLAGS", "N1", 0},  {0, "", "", 0}};

// RECNO (3062) stands twice in this layout; both columns are kept.
const tagFIXHEADERINFO kCombinationQuoteListLayout[] = {
    {1375, "组合代码", "C64", 0},    {850, "合约1卖盘价", "R9.4", 0},
    {844, "合约2买盘价", "R9.4", 0}, {1799, "买2卖1价差", "R9.4", 0},
    {842, "合约1买盘价", "R9.4", 0}, {852, "合约2卖盘价", "R9.4", 0},
    {1797, "卖2买1价差", "R9.4", 0}, {528, "合约1成交量", "N10", 0},
    {1874, "合约2成交量", "N10", 0}, {729, "最新价", "R9.4", 0},
    {1905, "买盘价", "R9.4", 0},     {638, "买盘量", "N10", 0},
    {1907, "卖盘价", "R9.4", 0},     {628, "卖盘量", "N10", 0},
    {1909, "交易所买价", "R9.4", 0}, {1910, "交易所买量", "N10", 0},
    {1911, "交易所卖价", "R9.4", 0}, {1912, "交易所卖量", "N10", 0},
    {706, "涨停价格", "R9.4", 0},    {703, "跌停价格", "R9.4", 0},
    {100, "color", "N1", 0},         {3216, "image", "N1", 0},
    {686, "WTSX", "R9.2", 0},        {687, "WTXX", "R9.2", 0},
    {1060, "ZHDM", "C64", 0},        {3062, "RECNO", "N1", 0},
    {813, "ZJSJ", "R9.4", 0},        {1392, "ZQDM1", "C32", 0},
    {1393, "ZQDM2", "C32", 0},       {587, "ZJSJ1", "R9.4", 0},
    {726, "ZJSJ2", "R9.4", 0},       {3062, "RECNO", "N10", 0},
    {1045, "XSJD", "N1", 0},         {9036, "XSJD1", "N1", 0},
    {9038, "XSJD2", "N1", 0},        {1914, "SBSL", "N1", 0},
    {1916, "BSSL", "N1", 0},         {1858, "ZXJBD", "R9.4", 0},
    {1335, "MRJGBD", "R9.4", 0},     {1336, "MCJGBD", "R9.4", 0},
    {1337, "MRSLBD", "N1", 0},       {1338, "MCSLBD", "N1", 0},
    {644, "FLAGS", "N1", 0},         {0, "", "", 0}};

const tagFIXHEADERINFO kContractParamLayout[] = {
    {719, "合约代码", "C32", 0},  {684, "默认数量", "N1", 0},
    {100, "color", "N1", 0},      {1796, "ZSCFJC", "R8.4", 0},
    {742, "ZSDDCS", "N1", 0},     {1797, "ZSWTJC", "R8.4", 0},
    {1795, "SJWTBZ_ZS", "N1", 0}, {1798, "ZYCFJC", "R8.4", 0},
    {745, "ZYDDCS", "N1", 0},     {1799, "ZYWTJC", "R8.4", 0},
    {1826, "SJWTBZ_ZY", "N1", 0}, {644, "FLAGS", "N1", 0},
    {3062, "RECNO", "N1", 0},     {0, "", "", 0}};

const tagFIXHEADERINFO kOptionCombinationLayout[] = {{3053, "组合类型", "C16", 0},
                                                     {1392, "合约1", "C32", 0},
                                                     {1393, "合约2", "C32", 0},
                                                     {729, "最新价", "R9.4", 0},
                                                     {679, "涨跌", "R9.4", 0},
                                                     {842, "买盘价", "R9.4", 0},
                                                     {843, "买盘量", "N12", 0},
                                                     {850, "卖盘价", "R9.4", 0},
                                                     {851, "卖盘量", "N12", 0},
                                                     {707, "最高价", "R9.4", 0},
                                                     {704, "最低价", "R9.4", 0},
                                                     {706, "涨停价格", "R9.4", 0},
                                                     {703, "跌停价格", "R9.4", 0},
                                                     {813, "昨结算", "R9.4", 0},
                                                     {601, "交易所", "C16", 0},
                                                     {100, "color", "N1", 0},
                                                     {3216, "image", "N1", 0},
                                                     {1332, "TYPE", "N1", 0},
                                                     {511, "BZ", "C4", 0},
                                                     {1045, "XSJD", "N1", 0},
                                                     {1060, "ZHDM", "C64", 0},
                                                     {644, "FLAGS", "N1", 0},
                                                     {3203, "SJ", "R9.0", 0},
                                                     {899, "JSSJ", "R9.0", 0},
                                                     {1803, "HQXGSJ", "R9.0", 0},
                                                     {1739, "BDSJ", "R9.0", 0},
                                                     {1814, "QUEUE", "R9.0", 0},
                                                     {1858, "ZXJBD", "R9.4", 0},
                                                     {1812, "SJ_MRJG1", "R9.0", 0},
                                                     {1813, "SJ_MCJG1", "R9.0", 0},
                                                     {0, "", "", 0}};

// ------------------------------------------------------------------ reference tables

const tagFIXHEADERINFO kExchangeLayout[] = {
    {599, "JYS", "C6", 0},     {601, "JYSJC", "C32", 0}, {602, "JYSQC", "C64", 0},
    {969, "LENGTH", "N6", 0},  {511, "BZ", "C4", 0},     {1710, "PCKZ", "N6", 0},
    {1681, "DDLX", "N6", 0},   {983, "XZSJ", "N6", 0},   {672, "TBTS", "N1", 0},
    {3113, "JYSJ", "C256", 0}, {898, "YSJYSJ", "N1", 0}, {0, "", "", 0}};

const tagFIXHEADERINFO kProductLayout[] = {{599, "JYS", "C6", 0},        {721, "ZQLBMC", "C32", 0},
                                           {720, "ZQLB", "C6", 0},       {566, "DMQZ", "C6", 0},
                                           {763, "BROWINDEX", "C32", 0}, {1752, "MSDW", "R9.2", 0},
                                           {1753, "BDJW", "R9.4", 0},    {1715, "KCDW", "N1", 0},
                                           {1754, "PCDW", "N1", 0},      {1713, "JGDW", "N1", 0},
                                           {686, "WTSX", "N1", 0},       {1755, "SJWTSX", "N1", 0},
                                           {1711, "JSFS", "N1", 0},      {511, "BZ", "C6", 0},
                                           {2561, "BJBZ", "C6", 0},      {9020, "DBZCY", "N1", 0},
                                           {1787, "UNIT", "R9.4", 0},    {1847, "HQJYS", "C6", 0},
                                           {7125, "HQZQDM", "C32", 0},   {0, "", "", 0}};

const tagFIXHEADERINFO kCurrencyLayout[] = {
    {511, "BZ", "C4", 0}, {514, "BZMC", "C8", 0}, {0, "", "", 0}};

const tagFIXHEADERINFO kDictionaryLayout[] = {{566, "FLDM", "C12", 0},
                                              {582, "IBM", "N8", 0},
                                              {516, "CBM", "C6", 0},
                                              {642, "NOTE", "C50", 0},
                                              {0, "", "", 0}};

const tagFIXHEADERINFO kPriceSourceLayout[] = {
    {1160, "WBJGDM", "C8", 0}, {834, "JGJC", "C8", 0}, {0, "", "", 0}};

const tagFIXHEADERINFO kBankLayout[] = {{692, "YHDM", "C8", 0},   {511, "BZ", "C4", 0},
                                        {905, "ZJMMXY", "N1", 0}, {907, "YHMMXY", "N1", 0},
                                        {904, "ZQYW", "N1", 0},   {0, "", "", 0}};

const tagFIXHEADERINFO kCombinationLegLayout[] = {
    {797, "ZHBH", "N1", 0},       {889, "LEGNO", "N1", 0}, {719, "HYDM", "C64", 0},
    {683, "WTLB", "N1", 0},       {1212, "SLBL", "N1", 0}, {1711, "JSFS", "N1", 0},
    {763, "BROWINDEX", "C32", 0}, {0, "", "", 0}};

const tagFIXHEADERINFO kQuoteSubscriptionLayout[] = {{599, "JYS", "C8", 0},
                                                     {719, "ZQDM", "C64", 0},
                                                     {641, "NODE", "C16", 0},
                                                     {644, "FLAGS", "N1", 0},
                                                     {0, "", "", 0}};

const tagFIXHEADERINFO kRateLayout[] = {{763, "BROWINDEX", "C64", 0},
                                        {605, "KHH", "C16", 0},
                                        {599, "JYS", "C6", 0},
                                        {719, "ZQDM", "C32", 0},
                                        {1717, "TZLB", "N1", 0},
                                        {644, "FLAGS", "N1", 0},
                                        {1759, "BZJ_BL", "R9.5", 0},
                                        {1760, "BZJ_DW", "R9.5", 0},
                                        {1821, "KCSXF_BL", "R9.5", 0},
                                        {1822, "KCSXF_DW", "R9.5", 0},
                                        {1823, "PCSXF_BL", "R9.5", 0},
                                        {1824, "PCSXF_DW", "R9.5", 0},
                                        {1764, "PJSXF_BL", "R9.5", 0},
                                        {1765, "PJSXF_DW", "R9.5", 0},
                                        {1770, "JGSXF_BL", "R9.5", 0},
                                        {1771, "JGSXF_DW", "R9.5", 0},
                                        {0, "", "", 0}};

const tagFIXHEADERINFO kClientMarginLayout[] = {{763, "BROWINDEX", "C64", 0},
                                                {605, "KHH", "C16", 0},
                                                {599, "JYS", "C8", 0},
                                                {1716, "JYBM", "C16", 0},
                                                {720, "ZQLB", "C8", 0},
                                                {1720, "MRCCBZJ", "R9.2", 0},
                                                {826, "MRDJBZJ", "R9.2", 0},
                                                {1735, "MCCCBZJ", "R9.2", 0},
                                                {1652, "MCDJBZJ", "R9.2", 0},
                                                {1462, "DBBZ", "N1", 0},
                                                {0, "", "", 0}};

const tagFIXHEADERINFO kExchangeRateLayout[] = {{511, "BZ", "C8", 0},
                                                {2561, "BJBZ", "C8", 0},
                                                {1713, "JGDW", "R9.4", 0},
                                                {2567, "ZJJ", "R9.4", 0},
                                                {2568, "QZJJ", "R9.4", 0},
                                                {2565, "ZYZK", "R9.4", 0},
                                                {0, "", "", 0}};

const tagFIXHEADERINFO kTradeCardParamLayout[] = {
    {601, "交易所", "C16", 0},     {721, "合约品种", "C32", 0},
    {847, "开仓数量", "N8", 0},    {855, "平仓数量", "N8", 0},
    {1798, "止盈价差", "R8.4", 0}, {1796, "止损价差", "R8.4", 0},
    {100, "color", "N1", 0},       {599, "JYS", "C6", 0},
    {720, "ZQLB", "C6", 0},        {0, "", "", 0}};

const tagFIXHEADERINFO kOrderCountLayout[] = {
    {605, "KHH", "C16", 0},   {1332, "TYPE", "C4", 0},      {599, "JYS", "C4", 0},
    {1716, "JYBM", "C16", 0}, {7125, "ZQDM", "C32", 0},     {886, "CDSL", "N1", 0},
    {1875, "CDSL2", "N1", 0}, {1715, "KCSL", "N1", 0},      {528, "CJSL", "N1", 0},
    {644, "FLAGS", "N1", 0},  {763, "BROWINDEX", "C64", 0}, {0, "", "", 0}};

// The book levels 1-5 as the futures quote row carries them.
#define KELMON_BOOK_LEVEL1                                                            \
    {842, "MRJG1", "R9.4", 0}, {850, "MCJG1", "R9.4", 0}, {843, "MRSL1", "N10", 0}, { \
        851, "MCSL1", "N10", 0                                                        \
    }
#define KELMON_BOOK_LEVELS2TO5                                                            \
    {844, "MRJG2", "R9.4", 0}, {846, "MRJG3", "R9.4", 0}, {848, "MRJG4", "R9.4", 0},      \
        {1357, "MRJG5", "R9.4", 0}, {852, "MCJG2", "R9.4", 0}, {854, "MCJG3", "R9.4", 0}, \
        {856, "MCJG4", "R9.4", 0}, {1359, "MCJG5", "R9.4", 0}, {845, "MRSL2", "N10", 0},  \
        {847, "MRSL3", "N10", 0}, {849, "MRSL4", "N10", 0}, {1358, "MRSL5", "N10", 0},    \
        {853, "MCSL2", "N10", 0}, {855, "MCSL3", "N10", 0}, {857, "MCSL4", "N10", 0}, {   \
        1360, "MCSL5", "N10", 0                                                           \
    }

const tagFIXHEADERINFO kFuturesContractLayout[] = {
    {599, "JYS", "C6", 0},           {719, "ZQDM", "C32", 0},
    {722, "ZQMC", "C32", 0},         {720, "ZQLB", "C6", 0},
    {590, "JSRQ", "C10", 0},         {706, "ZGBJ", "R9.4", 0},
    {703, "ZDBJ", "R9.4", 0},        {528, "CJSL", "N10", 0},
    {1734, "CJJJ", "R9.4", 0},       {524, "CJJE", "R16.2", 0},
    {1806, "ZCCL", "N10", 0},        {813, "ZJSJ", "R9.4", 0},
    {1212, "NBDL", "N8", 0},         {941, "NGXL", "N8", 0},
    {1711, "JSFS", "N1", 0},         {1759, "BZJ_BL", "R9.5", 0},
    {1760, "BZJ_DW", "R9.5", 0},     {1821, "KCSXF_BL", "R9.5", 0},
    {1822, "KCSXF_DW", "R9.5", 0},   {587, "JKP", "R9.4", 0},
    {729, "ZXJ", "R9.4", 0},         {707, "ZGJ", "R9.4", 0},
    {704, "ZDJ", "R9.4", 0},         KELMON_BOOK_LEVEL1,
    {594, "JYJW", "R9.4", 0},        {637, "MRJS", "N8", 0},
    {627, "MCJS", "N8", 0},          {686, "WTSX", "N8", 0},
    {1755, "SJWTSX", "N8", 0},       {1752, "MSDW", "R9.2", 0},
    {100, "color", "N1", 0},         {511, "BZ", "C4", 0},
    {2561, "BJBZ", "C4", 0},         {601, "JYSJC", "C32", 0},
    {721, "LBMC", "C32", 0},         {514, "BZMC", "C8", 0},
    {518, "BJBZMC", "C8", 0},        {1045, "XSJD", "N1", 0},
    {1741, "BZJBL", "R9.5", 0},      {9020, "DBZCY", "N1", 0},
    {1787, "UNIT", "R9.4", 0},       {860, "TPBZ", "N1", 0},
    {726, "ZSP", "R9.4", 0},         {1807, "CCL", "N10", 0},
    {757, "JCCL", "N10", 0},         KELMON_BOOK_LEVELS2TO5,
    {2000, "MRJG02", "R9.4", 0},     {2001, "MRSL02", "N10", 0},
    {2002, "MCJG02", "R9.4", 0},     {2003, "MCSL02", "N10", 0},
    {2004, "MRJG03", "R9.4", 0},     {2005, "MRSL03", "N10", 0},
    {2006, "MCJG03", "R9.4", 0},     {2007, "MCSL03", "N10", 0},
    {2008, "MRJG04", "R9.4", 0},     {2009, "MRSL04", "N10", 0},
    {2010, "MCJG04", "R9.4", 0},     {2011, "MCSL04", "N10", 0},
    {2012, "MRJG05", "R9.4", 0},     {2013, "MRSL05", "N10", 0},
    {2014, "MCJG05", "R9.4", 0},     {2015, "MCSL05", "N10", 0},
    {2058, "MRTDSL", "N10", 0},      {2059, "MCTDSL", "N10", 0},
    {886, "CDCS", "N8", 0},          {2569, "ZCJCS", "N8", 0},
    {638, "MRSL", "N10", 0},         {628, "MCSL", "N10", 0},
    {636, "MRJJ", "R9.4", 0},        {626, "MCJJ", "R9.4", 0},
    {1027, "JSJG", "R9.4", 0},       {644, "FLAGS", "N1", 0},
    {3203, "SJ", "R16.0", 0},        {1803, "HQXGSJ", "R16.0", 0},
    {1739, "BDSJ", "R16.0", 0},      {1814, "QUEUE", "R16.0", 0},
    {1812, "SJ_MRJG1", "R16.0", 0},  {1813, "SJ_MCJG1", "R16.0", 0},
    {1901, "SJ_HQPUSH", "R16.0", 0}, {0, "", "", 0}};

const tagFIXHEADERINFO kCombinationContractLayout[] = {
    {889, "ZHBH", "N8", 0},         {599, "JYS", "C6", 0},       {1060, "ZHDM", "C64", 0},
    {3549, "ZHTS", "N1", 0},        {706, "ZGBJ", "R9.4", 0},    {703, "ZDBJ", "R9.4", 0},
    {594, "BDJW", "R9.4", 0},       {686, "WTSX", "N8", 0},      {687, "WTXX", "N8", 0},
    {1008, "JYZT", "N1", 0},        {621, "ZHLX", "N1", 0},      {707, "ZGJ", "R9.4", 0},
    {704, "ZDJ", "R9.4", 0},        KELMON_BOOK_LEVEL1,          KELMON_BOOK_LEVELS2TO5,
    {1392, "ZQDM1", "C32", 0},      {1393, "ZQDM2", "C32", 0},   {813, "ZJSJ", "R9.4", 0},
    {729, "ZXJ", "R9.4", 0},        {1905, "MRJG", "R9.4", 0},   {1907, "MCJG", "R9.4", 0},
    {638, "MRSL", "N10", 0},        {628, "MCSL", "N10", 0},     {644, "FLAGS", "N1", 0},
    {3203, "SJ", "R16.0", 0},       {899, "JSSJ", "R16.0", 0},   {1803, "HQXGSJ", "R16.0", 0},
    {1739, "BDSJ", "R16.0", 0},     {1814, "QUEUE", "R16.0", 0}, {1812, "SJ_MRJG1", "R16.0", 0},
    {1813, "SJ_MCJG1", "R16.0", 0}, {2000, "MRJG02", "R9.4", 0}, {2001, "MRSL02", "N10", 0},
    {2002, "MCJG02", "R9.4", 0},    {2003, "MCSL02", "N10", 0},  {0, "", "", 0}};

// Every column the data model and the frame name for an option row: the frame's quote board
// shows 1806 and 514, and the extended book (2000-2003) and 1212 arrive as for futures. Where
// the two name different types the wider one stays (times as R16.0: 64-bit ticks; C8 products).
const tagFIXHEADERINFO kOptionContractLayout[] = {{599, "JYS", "C6", 0},
                                                  {9100, "QQDM", "C32", 0},
                                                  {719, "ZQDM", "C32", 0},
                                                  {1854, "CPFLAG", "N1", 0},
                                                  {590, "JSRQ", "C10", 0},
                                                  {1240, "DQRQ", "C10", 0},
                                                  {1569, "XQJG", "R9.4", 0},
                                                  {1568, "XQFS", "N1", 0},
                                                  {594, "JYJW", "R9.4", 0},
                                                  {1752, "MSDW", "R9.2", 0},
                                                  {720, "ZQLB", "C8", 0},
                                                  {637, "MRJS", "N8", 0},
                                                  {627, "MCJS", "N8", 0},
                                                  {686, "WTSX", "N8", 0},
                                                  {1755, "SJWTSX", "N8", 0},
                                                  {511, "BZ", "C4", 0},
                                                  {100, "color", "N1", 0},
                                                  {729, "ZXJ", "R9.4", 0},
                                                  KELMON_BOOK_LEVEL1,
                                                  KELMON_BOOK_LEVELS2TO5,
                                                  {706, "ZGBJ", "R9.4", 0},
                                                  {703, "ZDBJ", "R9.4", 0},
                                                  {707, "ZGJ", "R9.4", 0},
                                                  {704, "ZDJ", "R9.4", 0},
                                                  {813, "ZJSJ", "R9.4", 0},
                                                  {587, "JKP", "R9.4", 0},
                                                  {528, "CJSL", "N10", 0},
                                                  {524, "CJJE", "R16.2", 0},
                                                  {1734, "CJJJ", "R9.4", 0},
                                                  {1807, "CCL", "N10", 0},
                                                  {726, "ZSP", "R9.4", 0},
                                                  {638, "MRSL", "N10", 0},
                                                  {628, "MCSL", "N10", 0},
                                                  {601, "JYSJC", "C32", 0},
                                                  {721, "LBMC", "C32", 0},
                                                  {1045, "XSJD", "N1", 0},
                                                  {9020, "DBZCY", "N1", 0},
                                                  {1787, "UNIT", "R9.4", 0},
                                                  {1741, "BZJBL", "R9.5", 0},
                                                  {644, "FLAGS", "N1", 0},
                                                  {3203, "SJ", "R16.0", 0},
                                                  {1803, "HQXGSJ", "R16.0", 0},
                                                  {1739, "BDSJ", "R16.0", 0},
                                                  {1814, "QUEUE", "R16.0", 0},
                                                  {1812, "SJ_MRJG1", "R16.0", 0},
                                                  {1813, "SJ_MCJG1", "R16.0", 0},
                                                  {1212, "NBDL", "R9.5", 0},
                                                  {1806, "ZCCL", "N10", 0},
                                                  {514, "BZMC", "C16", 0},
                                                  {2000, "MRJG02", "R9.4", 0},
                                                  {2001, "MRSL02", "N10", 0},
                                                  {2002, "MCJG02", "R9.4", 0},
                                                  {2003, "MCSL02", "N10", 0},
                                                  {0, "", "", 0}};

#undef KELMON_BOOK_LEVEL1
#undef KELMON_BOOK_LEVELS2TO5

// ------------------------------------------------------------------ order and trade tables

#define KELMON_ORDER_COLUMNS                                                                       \
    {897, "CZBZ", "N1", 0}, {599, "JYS", "C4", 0}, {681, "WTH", "N8", 0}, {719, "ZQDM", "C32", 0}, \
        {683, "WTLB", "N1", 0}, {1718, "JYLB", "N1", 0}, {682, "WTJG", "R9.4", 0},                 \
        {684, "WTSL", "N8", 0}, {525, "CJJG", "R9.4", 0}, {528, "CJSL", "N8", 0},                  \
        {886, "CDSL", "N8", 0}, {1717, "TZLB", "N1", 0}, {1716, "JYBM", "C16", 0},                 \
        {1855, "PCZXBH", "N8", 0}, {797, "LSH", "N8", 0}, {1842, "WTDLB", "N4", 0},                \
        {1681, "DDLX", "N4", 0}, {1857, "CJLLX", "N4", 0}, {1858, "ZXCJL", "N8", 0},               \
        {1682, "MCWTJG", "R9.4", 0}, {1859, "MCWTSL", "N8", 0}, {1856, "MCJYLB", "N1", 0},         \
        {753, "SBJG", "N4", 0}, {641, "NODE", "C48", 0}, {1261, "ZCDH", "C32", 0},                 \
        {751, "SBSJ", "C8", 0}, {755, "CXBZ", "C4", 0}, {830, "JGSM", "C128", 0},                  \
        {605, "KHH", "C16", 0}, {7113, "SBBZ", "N4", 0}, {750, "WTSJ", "C8", 0},                   \
        {524, "CJJE", "R16.2", 0}, {1720, "BZJ", "R12.2", 0}, {1234, "SXF", "R12.2", 0},           \
        {898, "KSSJ", "R16.0", 0}, {1830, "QRSJ", "R16.0", 0}, {656, "CDSJ", "R16.0", 0},          \
        {527, "CJSJ", "R16.0", 0}, {899, "CXSJ", "R16.0", 0}, {644, "FLAGS", "N1", 0},             \
        {1783, "PDFX", "N4", 0}, {                                                                 \
        3062, "RECNO", "N8", 0                                                                     \
    }

// Where the data model and the frame give an order column different types, the type that holds
// the server's values stays: the send, confirm, cancel and fill stamps (898, 1830, 656, 527,
// 899) are 64-bit ticks (R16.0), the batch number 1855 and the state 753 sort as numbers.
const tagFIXHEADERINFO kOrderLayout[] = {KELMON_ORDER_COLUMNS, {0, "", "", 0}};

// The order columns, the second leg's, and its filled quantity 1874 (written by a leg-2 fill).
const tagFIXHEADERINFO kTwoLegOrderLayout[] = {
    KELMON_ORDER_COLUMNS,       {1874, "CJSL2", "N8", 0}, {1847, "JYS2", "C4", 0},
    {1393, "ZQDM2", "C32", 0},  {1849, "WTLB2", "N1", 0}, {1850, "JYLB2", "N1", 0},
    {1418, "WTJG2", "R9.4", 0}, {1439, "WTSL2", "N8", 0}, {1851, "TZLB2", "N1", 0},
    {1848, "JYBM2", "C16", 0},  {1852, "DDLX2", "N4", 0}, {0, "", "", 0}};

#undef KELMON_ORDER_COLUMNS

#define KELMON_TRADE_FIRST_TEN                                                                   \
    {681, "委托号", "N8", 0}, {719, "合约代码", "C32", 0}, {752, "买卖", "C8", 0},               \
        {596, "开平", "C12", 0}, {684, "委托量", "N8", 0}, {528, "成交量", "N8", 0},             \
        {682, "委托价", "R9.4", 0}, {525, "成交价", "R9.4", 0}, {524, "成交金额", "R16.2", 0}, { \
        1776, "平仓盈亏", "R12.2", 0                                                             \
    }
#define KELMON_TRADE_MIDDLE                                                                   \
    {601, "交易所", "C16", 0}, {1716, "交易编码", "C16", 0}, {3053, "投保", "C8", 0},         \
        {100, "color", "N1", 0}, {722, "合约名称", "C32", 0}, {1234, "手续费", "R12.2", 0}, { \
        1720, "冻结资金", "R12.2", 0                                                          \
    }

// The wider of the two types named for a trade column stays (596 C12, 1716 C16, 763 C64,
// amounts R16.2), so no server text is cut and no amount loses digits.
const tagFIXHEADERINFO kTradeLayout[] = {
    KELMON_TRADE_FIRST_TEN,       KELMON_TRADE_MIDDLE,       {1874, "CJSL2", "N8", 0},
    {2028, "CJJE2", "R16.2", 0},  {1752, "MSDW", "R9.2", 0}, {599, "JYS", "C4", 0},
    {683, "WTLB", "N1", 0},       {1718, "JYLB", "N1", 0},   {1717, "TZLB", "N1", 0},
    {1681, "DDLX", "N4", 0},      {1045, "XSJD", "N1", 0},   {862, "HBXH", "N8", 0},
    {763, "BROWINDEX", "C64", 0}, {605, "KHH", "C16", 0},    {0, "", "", 0}};

const tagFIXHEADERINFO kTradeDetailLayout[] = {
    KELMON_TRADE_FIRST_TEN,  {527, "成交时间", "C8", 0}, {522, "成交编号", "C64", 0},
    KELMON_TRADE_MIDDLE,     {599, "JYS", "C4", 0},      {683, "WTLB", "N1", 0},
    {1718, "JYLB", "N1", 0}, {1717, "TZLB", "N1", 0},    {1681, "DDLX", "N4", 0},
    {1045, "XSJD", "N1", 0}, {862, "HBXH", "N8", 0},     {605, "KHH", "C16", 0},
    {0, "", "", 0}};

#undef KELMON_TRADE_FIRST_TEN
#undef KELMON_TRADE_MIDDLE

// ------------------------------------------------------------------ services

int LayoutColumnCount(const tagFIXHEADERINFO* layout) {
    int n = 0;
    while (layout != nullptr && layout[n].id > 0) ++n;
    return n;
}

CMemRecord* GetServiceTable(int32_t number) {
    static CFixRecord* const kReference[] = {
        &ExchangeTable,        &ProductTable,          &CurrencyTable, &DictionaryTable,
        &FuturesContractTable, &PriceSourceTable,      &BankTable,     &CombinationContractTable,
        &CombinationLegTable,  &QuoteSubscriptionTable};
    static CFixRecord* const kAccount[] = {
        &AccountTable,        &TradingCodeTable,  &FundsTable,       &PositionSummaryTable,
        &PositionDetailTable, &BankAccountTable,  &NoticeTable,      &MessageTable,
        &LinkedClientTable,   &TradingGroupTable, &GroupMemberTable, &PreplacedOrderTable};
    if (number >= 10 && number <= 19) return kReference[number - 10]->GetMemRecord();
    if (number >= 30 && number <= 41) return kAccount[number - 30]->GetMemRecord();
    return nullptr;
}

void CreateFrameTables() {
    CombinationContractTable.Create(kCombinationContractLayout);
    CombinationLegTable.Create(kCombinationLegLayout);
    MessageTable.Create(kMessageLayout);
    OptionContractTable.Create(kOptionContractLayout);
    QuoteSubscriptionTable.Create(kQuoteSubscriptionLayout);
    OrderTable.Create(kOrderLayout);
    TradeDetailTable.Create(kTradeDetailLayout);
    TradeTable.Create(kTradeLayout);
    OrderCountTable.Create(kOrderCountLayout);
    TwoLegOrderTable.Create(kTwoLegOrderLayout);
}

void ReplaceTableWhole(CFixRecord& table, CFixRecord& source) {
    if (&table == &source) return;
    // Source first (shared), then the table (exclusive): the only order in which a whole
    // replacement holds two table locks.
    CMemRecord* target = table.GetMemRecord();
    CMemRecord* from = source.GetMemRecord();
    from->acquireLockShared();
    target->acquireLockExclusive();
    *target = *from;
    target->releaseLockExclusive();
    from->releaseLockShared();
}

int RebuildTable(CFixRecord& table, const tagFIXHEADERINFO* layout,
                 const std::function<bool(CFixRecord&, int)>& keep, CFixRecord* additions) {
    CFixRecord aside;
    aside.Create(layout);
    CMemRecord* fresh = aside.GetMemRecord();
    int removed = 0;
    CMemRecord* target = table.GetMemRecord();
    if (additions != nullptr) additions->acquireLockShared();
    target->acquireLockExclusive();
    const int count = table.GetCount();
    const bool sameRows = target->GetFCount() > 0 && fresh->SameLayout(target);
    for (int r = 0; r < count; ++r) {
        if (keep && keep(table, r)) {
            if (sameRows)
                fresh->Append(target->GetData(r), false);
            else
                aside.Append(&table, r);
        } else {
            ++removed;
        }
    }
    if (additions != nullptr) {
        const int more = additions->GetCount();
        for (int r = 0; r < more; ++r) aside.Append(additions, r);
    }
    *target = *fresh;
    target->releaseLockExclusive();
    if (additions != nullptr) additions->releaseLockShared();
    return removed;
}

int ClassifyRowsByValue(CFixRecord& table, unsigned tag, const std::string& text) {
    table.acquireLockShared();
    const int count = table.GetCount();
    int matches = 0;
    for (int r = 0; r < count; ++r)
        if (table.Get(tag, r) == text) ++matches;
    table.releaseLockShared();
    if (matches == count) return 1;
    return matches == 0 ? 0 : 2;
}

void RemoveRowsByValue(CFixRecord& table, const tagFIXHEADERINFO* layout, unsigned tag,
                       const std::string& text) {
    // Classified and rebuilt under one exclusive hold, so no row can slip in between.
    table.acquireLockExclusive();
    switch (ClassifyRowsByValue(table, tag, text)) {
        case 1:
            table.Create(layout);
            break;
        case 2:
            RebuildTable(table, layout,
                         [&](CFixRecord& t, int r) { return t.Get(tag, r) != text; });
            break;
        default:
            break;
    }
    table.releaseLockExclusive();
}

namespace {
std::mutex& StatementMutex() {
    static std::mutex m;
    return m;
}
std::string& StatementText() {
    static std::string text;
    return text;
}
}  // namespace

std::string GetWorkerStatementText() {
    std::lock_guard lock(StatementMutex());
    return StatementText();
}

void SetWorkerStatementText(std::string text) {
    std::lock_guard lock(StatementMutex());
    StatementText() = std::move(text);
}

}  // namespace tradedata
