// The built-in trading day and the answers the server gives from it.
#include "testserver/TradingDay.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <string_view>

#include "platform/core/Numbers.h"

namespace testserver {

namespace {

using platform::FormatFixed;
using platform::FormatInt;

// Refusal codes, as the trading server gives them.
constexpr int32_t kCodeNoAccount = -1;
constexpr int32_t kCodeBadPassword = -2;
constexpr int32_t kCodeNotFound = -100;

Answer Refusal(int32_t code, std::string text) {
    Answer answer;
    answer.rows.push_back({{507, FormatInt(code)}, {508, std::move(text)}});
    return answer;
}

// The rows with 507 put in front; an empty list ends with the empty terminator alone.
Answer Rows(const std::vector<Row>& rows) {
    Answer answer;
    for (const Row& row : rows) {
        Row out{{507, "1"}};
        out.insert(out.end(), row.begin(), row.end());
        answer.rows.push_back(std::move(out));
    }
    return answer;
}

std::vector<Row> WithField(const std::vector<Row>& rows, int32_t tag, const std::string& value) {
    std::vector<Row> out;
    for (const Row& row : rows)
        if (FieldOf(row, tag) == value) out.push_back(row);
    return out;
}

int Decimals(double tick) {
    int decimals = 0;
    while (decimals < 4 && std::fabs(tick - std::round(tick)) > 1e-9) {
        tick *= 10;
        ++decimals;
    }
    return decimals;
}

struct ProductData {
    const char* exchange;
    const char* product;
    const char* name;
    double tick;
    double multiplier;
    double price;  // settlement price of the first month
    double limit;  // daily limit as a share of the settlement price
    int months;    // listed months, from the first
};

// Months listed: January, March, May of next year (ZZ writes the year with one digit).
constexpr const char* kMonths[] = {"2701", "2703", "2705"};
constexpr const char* kExpiries[] = {"20270115", "20270315", "20270514"};
// Quote times (3203) in microseconds: the trading day 2026-12-10 from midnight UTC.
constexpr int64_t kDayStartUs = 1796860800000000LL;

constexpr ProductData kProducts[] = {
    {"SQ", "cu", "铜", 10, 5, 74000, 0.07, 3},
    {"SQ", "al", "铝", 5, 5, 19500, 0.07, 2},
    {"SQ", "au", "黄金", 0.02, 1000, 620, 0.08, 2},
    {"SQ", "rb", "螺纹钢", 1, 10, 3500, 0.07, 2},
    {"SQ", "ag", "白银", 1, 15, 7800, 0.09, 2},
    {"DL", "m", "豆粕", 1, 10, 2900, 0.07, 3},
    {"DL", "a", "豆一", 1, 10, 4100, 0.07, 2},
    {"DL", "y", "豆油", 2, 10, 7600, 0.07, 2},
    {"DL", "i", "铁矿石", 0.5, 100, 800, 0.11, 2},
    {"ZZ", "SR", "白糖", 1, 10, 5900, 0.07, 3},
    {"ZZ", "CF", "棉花", 5, 5, 14000, 0.07, 2},
    {"ZZ", "TA", "PTA", 2, 5, 4800, 0.07, 2},
    {"ZJ", "IF", "沪深300", 0.2, 300, 3900, 0.10, 2},
    {"ZJ", "T", "十年国债", 0.005, 10000, 104.5, 0.02, 2},
};

std::string ContractCode(const ProductData& p, int month) {
    std::string code = std::string(p.product) + kMonths[month];
    if (std::string_view(p.exchange) == "ZZ") code.erase(std::string_view(p.product).size(), 1);
    return code;
}

// A futures row with its settlement, limits and a book around the last price.
Row FuturesRow(const ProductData& p, int month, int serial) {
    const int d = Decimals(p.tick);
    auto price = [&](double v) { return FormatFixed(std::round(v / p.tick) * p.tick, d); };
    const double settle = std::round(p.price * (1 + 0.004 * month) / p.tick) * p.tick;
    const double up = std::floor(settle * (1 + p.limit) / p.tick + 1e-9) * p.tick;
    const double down = std::ceil(settle * (1 - p.limit) / p.tick - 1e-9) * p.tick;
    const double last = settle + 2 * p.tick;
    const int volume = 1000 * (3 - month) + 17 * serial;
    const int interest = 5000 * (3 - month) + 31 * serial;
    const std::string code = ContractCode(p, month);
    Row row{{599, p.exchange},
            {719, code},
            {722, std::string(p.name) + (code.c_str() + std::string_view(p.product).size())},
            {720, p.product},
            {590, kExpiries[month]},
            {706, price(up)},
            {703, price(down)},
            {813, price(settle)},
            {726, price(settle - p.tick)},
            {587, price(settle + p.tick)},
            {729, price(last)},
            {707, price(last + 5 * p.tick)},
            {704, price(settle - 4 * p.tick)},
            {528, FormatInt(volume)},
            {524, FormatFixed(last * p.multiplier * volume, 2)},
            {1807, FormatInt(interest)},
            {1806, FormatInt(interest - 120)},
            {594, FormatFixed(p.tick, d)},
            {1752, FormatFixed(p.multiplier, 2)},
            {511, "RMB"},
            {2561, "RMB"},
            {1711, "1"},
            {686, "500"},
            {1755, "100"},
            {3203, FormatInt(kDayStartUs + serial)}};
    // Five levels each side, one tick apart, the best one tick off the last price.
    static constexpr int32_t kBid[5][2] = {
        {842, 843}, {844, 845}, {846, 847}, {848, 849}, {1357, 1358}};
    static constexpr int32_t kAsk[5][2] = {
        {850, 851}, {852, 853}, {854, 855}, {856, 857}, {1359, 1360}};
    for (int level = 0; level < 5; ++level) {
        row.push_back({kBid[level][0], price(last - (level + 1) * p.tick)});
        row.push_back({kBid[level][1], FormatInt(10 + 3 * level + serial % 7)});
        row.push_back({kAsk[level][0], price(last + (level + 1) * p.tick)});
        row.push_back({kAsk[level][1], FormatInt(12 + 2 * level + serial % 5)});
    }
    return row;
}

// Fields a quote answer carries (the first quote of the contract list's step as well).
constexpr int32_t kQuoteTags[] = {860,  813,  726, 587, 729, 528, 524, 706,  703,  707,  704,
                                  1807, 1806, 842, 850, 843, 851, 844, 852,  845,  853,  846,
                                  854,  847,  855, 848, 856, 849, 857, 1357, 1359, 1358, 1360};

const Row* FindRow(const std::vector<Row>& rows, int32_t tag, const std::string& value) {
    for (const Row& row : rows)
        if (FieldOf(row, tag) == value) return &row;
    return nullptr;
}

double Number(const Row& row, int32_t tag) { return platform::Atof(FieldOf(row, tag)); }

Answer QuoteOf(const Row& row, const std::string& exchange, const std::string& code) {
    Row out{{507, "1"}, {599, exchange}, {719, code}};
    for (int32_t tag : kQuoteTags)
        if (const std::string value = FieldOf(row, tag); !value.empty())
            out.push_back({tag, value});
    Answer answer;
    answer.rows.push_back(std::move(out));
    return answer;
}

// The implied quote of a spread: first leg less second leg.
Row SpreadQuote(const Row& leg1, const Row& leg2) {
    const int d = std::max(Decimals(Number(leg1, 594)), Decimals(Number(leg2, 594)));
    auto diff = [&](int32_t a, int32_t b) {
        return FormatFixed(Number(leg1, a) - Number(leg2, b), d);
    };
    return {{813, diff(813, 813)},
            {729, diff(729, 729)},
            {842, diff(842, 850)},
            {850, diff(850, 842)},
            {706, diff(706, 703)},
            {703, diff(703, 706)},
            {843, FormatInt(static_cast<int64_t>(std::min(Number(leg1, 843), Number(leg2, 851))))},
            {851, FormatInt(static_cast<int64_t>(std::min(Number(leg1, 851), Number(leg2, 843))))}};
}

// A product row with the trading units and order limits every product of the day shares.
Row ProductRow(const char* exchange, const char* code, const char* name, double tick,
               double multiplier) {
    const int d = Decimals(tick);
    return Row{{599, exchange},
               {721, name},
               {720, code},
               {566, code},
               {763, std::string(exchange) + code},
               {1752, FormatFixed(multiplier, 2)},
               {1753, FormatFixed(tick, d)},
               {1715, "1"},
               {1754, "1"},
               {1713, "1"},
               {686, "500"},
               {1755, "100"},
               {1711, "1"},
               {511, "RMB"},
               {2561, "RMB"},
               {9020, "1"},
               {1787, "1.0000"}};
}

// Items of the packed rows (1777), by position.
constexpr int32_t kPackedContractTags[] = {599, 719, 722, 720, 590, 706, 703, 528, 524, 1806, 813};
constexpr int32_t kPackedCombinationTags[] = {889, 599, 1060, 3549, 1008, 621, 582};
constexpr int32_t kPackedOptionTags[] = {599, 9100, 719, 1854, 590, 1240, 1569, 1568,
                                         594, 1752, 720, 637,  627, 686,  1755, 511};

template <std::size_t N>
std::vector<Row> Packed(const std::vector<Row>& rows, const int32_t (&tags)[N]) {
    std::vector<Row> out;
    out.reserve(rows.size());
    for (const Row& row : rows) {
        std::string text;
        for (std::size_t i = 0; i < N; ++i) {
            if (i > 0) text += ',';
            text += FieldOf(row, tags[i]);
        }
        out.push_back({{1777, std::move(text)}});
    }
    return out;
}

}  // namespace

std::string FieldOf(const Row& row, int32_t tag) {
    for (const Field& field : row)
        if (field.tag == tag) return field.value;
    return {};
}

const TradingAccount* TradingDay::FindAccount(const std::string& khh) const {
    for (const TradingAccount& account : accounts)
        if (account.khh == khh) return &account;
    return nullptr;
}

bool TradingDay::Serves(int32_t function) {
    static constexpr int32_t kServed[] = {
        kFunctionAccountInfo,   kFunctionTradingCodes,  kFunctionFunds,
        kFunctionBankAccounts,  kFunctionAccountStatus, kFunctionLinkNumber,
        kFunctionLinkedClients, kFunctionTradingGroups, kFunctionGroupMembers,
        kFunctionAccountNotice, kFunctionLogout,        kFunctionDictionary,
        kFunctionDictCategory,  kFunctionExchanges,     kFunctionProducts,
        kFunctionContracts,     kFunctionQuote,         kFunctionCombinations,
        kFunctionOptions,       kFunctionPriceSources,  kFunctionBanks};
    return std::find(std::begin(kServed), std::end(kServed), function) != std::end(kServed);
}

std::string ScrambledPassword(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size() && text[i] != '\0'; ++i) {
        const char c = static_cast<char>(static_cast<uint8_t>(text[i]) ^ (255 - i % 9));
        if (c == '\0') break;
        out.push_back(c);
    }
    return out;
}

bool PasswordMatches(const std::string& sent, const std::string& password) {
    return sent == ScrambledPassword(password);
}

std::optional<Answer> TradingDay::AnswerFor(const ReceivedRequest& request) const {
    if (!Serves(request.function) || request.function == kFunctionAccountNotice) return {};

    // The account a request names: known, and with the right password when one is sent.
    auto account = [&](const TradingAccount*& found) -> std::optional<Answer> {
        const std::string khh = request.Get(605);
        found = FindAccount(khh);
        if (khh.empty()) return Refusal(kCodeNoAccount, "客户号不能为空");
        if (found == nullptr) return Refusal(kCodeNoAccount, fmt::format("客户号[{}]不存在", khh));
        if (const std::string* password = request.Find(598);
            password != nullptr && !PasswordMatches(*password, found->password))
            return Refusal(kCodeBadPassword, "交易密码错误");
        return std::nullopt;
    };
    const TradingAccount* a = nullptr;
    const std::string link = request.Get(1837);

    switch (request.function) {
        case kFunctionAccountInfo:
        case kFunctionTradingCodes:
        case kFunctionFunds:
        case kFunctionBankAccounts:
        case kFunctionAccountStatus:
        case kFunctionLinkNumber:
        case kFunctionLogout:
            if (auto refusal = account(a)) return refusal;
            break;
        default:
            break;
    }

    switch (request.function) {
        case kFunctionAccountInfo:
            return Rows({a->info});
        case kFunctionTradingCodes:
            return Rows(a->tradingCodes);
        case kFunctionFunds:
            return Rows(a->funds);
        case kFunctionBankAccounts:
            return Rows(a->bankAccounts);
        case kFunctionAccountStatus:
            return Rows({{{613, FieldOf(a->info, 613)},
                          {570, FieldOf(a->info, 570)},
                          {614, FormatInt(a->state)}}});
        case kFunctionLinkNumber:
            if (a->link == 0) return Rows({{{710, "1"}, {508, "客户未设置关联"}}});
            return Rows({{{710, "0"}, {1837, FormatInt(a->link)}}});
        case kFunctionLogout:
            return Rows({{{508, "客户已退出"}}});
        case kFunctionLinkedClients:
        case kFunctionTradingGroups:
        case kFunctionGroupMembers: {
            if (WithField(linkedClients, 1837, link).empty())
                return Refusal(kCodeNotFound, fmt::format("关联编号[{}]不存在", link));
            const std::vector<Row>& rows =
                request.function == kFunctionLinkedClients   ? linkedClients
                : request.function == kFunctionTradingGroups ? groups
                                                             : groupMembers;
            return Rows(WithField(rows, 1837, link));
        }
        case kFunctionDictionary:
        case kFunctionDictCategory: {
            const std::string category = request.Get(566);
            auto it = dictionaries.find(category);
            if (it == dictionaries.end())
                return Refusal(kCodeNotFound, fmt::format("字典类别[{}]不存在", category));
            std::vector<Row> rows;
            for (const DictEntry& e : it->second)
                rows.push_back(
                    {{566, category}, {582, FormatInt(e.number)}, {516, e.code}, {642, e.text}});
            return Rows(rows);
        }
        case kFunctionExchanges:
            return Rows(exchanges);
        case kFunctionProducts:
            return Rows(products);
        case kFunctionContracts:
            return Rows(packedRows ? Packed(futures, kPackedContractTags) : futures);
        case kFunctionPriceSources:
            return Rows(priceSources);
        case kFunctionBanks:
            return Rows(banks);
        case kFunctionQuote: {
            const std::string exchange = request.Get(599);
            const std::string code = request.Get(719);
            if (const Row* row = FindRow(futures, 719, code)) return QuoteOf(*row, exchange, code);
            if (const Row* row = FindRow(options, 9100, code)) return QuoteOf(*row, exchange, code);
            if (const Row* row = FindRow(indexes, 719, code)) return QuoteOf(*row, exchange, code);
            if (const Row* row = FindRow(combinations, 1060, code)) {
                const Row* leg1 = FindRow(futures, 719, FieldOf(*row, 1392));
                const Row* leg2 = FindRow(futures, 719, FieldOf(*row, 1393));
                if (leg1 != nullptr && leg2 != nullptr)
                    return QuoteOf(SpreadQuote(*leg1, *leg2), exchange, code);
            }
            return Refusal(kCodeNotFound, fmt::format("合约[{}]不存在", code));
        }
        case kFunctionCombinations: {
            // A cache of the trading day (or later) has every change already.
            const std::string since = request.Get(651);
            if (!since.empty() && since >= date) return Answer{};
            return Rows(packedRows ? Packed(combinations, kPackedCombinationTags) : combinations);
        }
        case kFunctionOptions: {
            const int32_t mode = platform::AtolSat(request.Get(9020));
            if (mode == 4) {
                const Row* row = FindRow(options, 9100, request.Get(9100));
                if (row == nullptr || FieldOf(*row, 599) != request.Get(599))
                    return Refusal(kCodeNotFound,
                                   fmt::format("期权合约[{}]不存在", request.Get(9100)));
                return Rows({*row});
            }
            if (mode == 2) return Rows(WithField(options, 719, request.Get(719)));
            const std::string since = request.Get(651);
            if (mode == 3 && !since.empty() && since >= date) return Answer{};
            if (mode == 1 && packedRows) return Rows(Packed(options, kPackedOptionTags));
            return Rows(options);
        }
        default:
            return {};
    }
}

TradingDay SampleTradingDay() {
    TradingDay day;
    day.date = "20261210";

    // Allowed order types 1681: bit 2 (4) is the market order, which SQ does not take. XZSJ
    // 983 is the exchange clock's offset in seconds; 898 the night-session start.
    auto exchange = [](const char* code, const char* name, const char* fullName, const char* length,
                       const char* orderTypes, const char* offset, const std::string& sections,
                       const char* night) {
        return Row{{599, code},  {601, name},      {602, fullName},    {969, length},
                   {511, "RMB"}, {1710, "0"},      {1681, orderTypes}, {983, offset},
                   {672, "0"},   {3113, sections}, {898, night}};
    };
    const std::string daySections = "09:00-10:15;10:30-11:30;13:30-15:00";
    day.exchanges = {
        exchange("SQ", "上期所", "上海期货交易所", "6", "3", "0", "21:00-01:00;" + daySections,
                 "210000"),
        exchange("DL", "大商所", "大连商品交易所", "6", "7", "0", "21:00-23:00;" + daySections,
                 "210000"),
        exchange("ZZ", "郑商所", "郑州商品交易所", "5", "7", "0", "21:00-23:00;" + daySections,
                 "210000"),
        exchange("ZJ", "中金所", "中国金融期货交易所", "6", "7", "5", "09:30-11:30;13:00-15:00",
                 "0"),
    };

    int serial = 0;
    for (const ProductData& p : kProducts) {
        day.products.push_back(ProductRow(p.exchange, p.product, p.name, p.tick, p.multiplier));
        for (int month = 0; month < p.months; ++month)
            day.futures.push_back(FuturesRow(p, month, serial++));
    }
    // Index options quote the index itself, which the product row names.
    Row io = ProductRow("ZJ", "IO", "沪深300期权", 0.2, 100);
    io.push_back({7125, "000300"});
    io.push_back({1847, "SH"});
    day.products.push_back(std::move(io));
    day.indexes = {{{599, "SH"},
                    {719, "000300"},
                    {722, "沪深300"},
                    {813, "3895.2"},
                    {726, "3895.2"},
                    {587, "3898.0"},
                    {729, "3901.4"},
                    {707, "3912.6"},
                    {704, "3886.1"}}};

    // Spreads: kind, blank, first leg, "&", second leg.
    struct Spread {
        const char* exchange;
        const char* kind;
        const char* leg1;
        const char* leg2;
        int type;  // 0 calendar, 1 inter-commodity
    };
    const Spread kSpreads[] = {{"DL", "SP", "m2701", "m2705", 0},
                               {"DL", "SP", "a2701", "a2703", 0},
                               {"DL", "SPC", "a2703", "m2703", 1},
                               {"ZZ", "SPD", "SR701", "SR705", 0},
                               {"ZZ", "SPD", "CF701", "CF703", 0}};
    int number = 1001;
    for (const Spread& s : kSpreads) {
        day.combinations.push_back({{889, FormatInt(number++)},
                                    {599, s.exchange},
                                    {1060, fmt::format("{} {}&{}", s.kind, s.leg1, s.leg2)},
                                    {3549, "2"},
                                    {1008, "0"},
                                    {621, FormatInt(s.type)},
                                    {582, FormatInt(s.type)},
                                    {1392, s.leg1},
                                    {1393, s.leg2}});
    }

    // Options: on a future (m2705) and on the index (IO2701).
    struct OptionData {
        const char* exchange;
        const char* product;
        const char* underlying;
        const char* code;
        int kind;  // 1 call, 2 put
        double strike;
        double settle;
        double tick;
        const char* expiry;
    };
    const OptionData kOptions[] = {
        {"DL", "m", "m2705", "m2705-C-2900", 1, 2900, 95, 0.5, "20270409"},
        {"DL", "m", "m2705", "m2705-P-2900", 2, 2900, 62, 0.5, "20270409"},
        {"DL", "m", "m2705", "m2705-C-3000", 1, 3000, 48.5, 0.5, "20270409"},
        {"DL", "m", "m2705", "m2705-P-3000", 2, 3000, 113, 0.5, "20270409"},
        {"ZJ", "IO", "IO2701", "IO2701-C-3900", 1, 3900, 86.4, 0.2, "20270115"},
        {"ZJ", "IO", "IO2701", "IO2701-P-3900", 2, 3900, 81.2, 0.2, "20270115"},
    };
    for (const OptionData& o : kOptions) {
        const int d = Decimals(o.tick);
        const double up = o.settle + 0.1 * o.strike;
        const double down = std::max(o.tick, o.settle - 0.1 * o.strike);
        day.options.push_back({{599, o.exchange},
                               {9100, o.code},
                               {719, o.underlying},
                               {1854, FormatInt(o.kind)},
                               {590, o.expiry},
                               {1240, o.expiry},
                               {1569, FormatFixed(o.strike, 4)},
                               {1568, std::string_view(o.exchange) == "ZJ" ? "1" : "0"},
                               {594, FormatFixed(o.tick, d)},
                               {1752, std::string_view(o.exchange) == "ZJ" ? "100.00" : "10.00"},
                               {720, o.product},
                               {511, "RMB"},
                               {686, "100"},
                               {1755, "50"},
                               {813, FormatFixed(o.settle, d)},
                               {706, FormatFixed(up, d)},
                               {703, FormatFixed(down, d)},
                               {729, FormatFixed(o.settle + o.tick, d)},
                               {842, FormatFixed(o.settle, d)},
                               {850, FormatFixed(o.settle + 2 * o.tick, d)},
                               {843, "8"},
                               {851, "6"}});
    }

    day.priceSources = {{{1160, "LME"}, {834, "伦敦金属"}}, {{1160, "CBOT"}, {834, "芝加哥"}}};
    day.banks = {{{692, "0102"}, {511, "RMB"}, {905, "1"}, {907, "0"}, {904, "7"}},
                 {{692, "0103"}, {511, "RMB"}, {905, "1"}, {907, "1"}, {904, "7"}},
                 {{692, "0104"}, {511, "USD"}, {905, "1"}, {907, "0"}, {904, "3"}}};

    day.dictionaries = {
        {"WTSBJG",
         {{0, "0", "未申报"},
          {1, "1", "正在申报"},
          {2, "2", "已申报未成交"},
          {3, "3", "非法委托"},
          {4, "4", "申请资金授权中"},
          {5, "5", "部分成交"},
          {6, "6", "全部成交"},
          {7, "7", "部成部撤"},
          {8, "8", "全部撤单"},
          {9, "9", "撤单未成"},
          {10, "A", "等待人工申报"}}},
        {"YZWTLB", {{1, "1", "银行转期货"}, {2, "2", "期货转银行"}, {3, "3", "查询银行余额"}}},
        {"DDLX", {{0, "0", "限价单"}, {1, "1", "市价单"}, {2, "2", "止损单"}, {3, "3", "止盈单"}}},
        {"QHKPFX", {{1, "1", "开仓"}, {2, "2", "平仓"}, {3, "3", "平今"}, {4, "4", "强平"}}},
        {"WTDLB", {{0, "0", "普通委托"}, {1, "1", "套利委托"}, {2, "2", "互换委托"}}},
        {"DTLPZT", {{0, "0", "未绑定"}, {1, "1", "已绑定"}}},
        {"LPCZLB", {{1, "1", "绑定"}, {2, "2", "解除绑定"}}},
        {"JYSZHLX", {{0, "0", "跨期套利"}, {1, "1", "跨品种套利"}}},
    };

    // The first account: link number 12, bank service (64), quotes (32) and linked clients (8),
    // a statement awaiting confirmation and a prompt text.
    TradingAccount zhang;
    zhang.khh = "000010086001";
    zhang.password = "123456";
    zhang.link = 12;
    zhang.info = {{697, "0101"},      {613, "张三"},
                  {570, "104"},       {1844, "104"},
                  {1730, "8888"},     {3001, "ZS0001"},
                  {1332, "个人"},     {920, "8f3a21c9"},
                  {820, "0"},         {964, "今日夜盘交易时间调整,请留意交易所公告"},
                  {1831, "20261209"}, {9020, "1"},
                  {1832, "20261208"}};
    const std::pair<const char*, const char*> kZhangCodes[] = {
        {"SQ", "81001234"}, {"DL", "01001234"}, {"ZZ", "31001234"}, {"ZJ", "00102345"}};
    for (const auto& [exchange, code] : kZhangCodes)
        zhang.tradingCodes.push_back({{599, exchange},
                                      {1716, code},
                                      {795, "000010086001"},
                                      {691, std::string(exchange) + "0123"},
                                      {574, "0"},
                                      {511, "RMB"}});
    zhang.funds = {{{716, "000010086001"},
                    {511, "RMB"},
                    {803, "1000000.00"},
                    {1779, "1012345.67"},
                    {619, "850000.00"},
                    {617, "840000.00"},
                    {1720, "162345.67"},
                    {1724, "16.03660"},
                    {1746, "123.45"},
                    {709, "1012345.67"},
                    {764, "0.00"},
                    {1774, "12469.12"},
                    {1776, "0.00"},
                    {1773, "12469.12"}},
                   {{716, "000010086001"},
                    {511, "USD"},
                    {803, "50000.00"},
                    {1779, "50000.00"},
                    {619, "50000.00"},
                    {617, "50000.00"},
                    {1720, "0.00"},
                    {1724, "0.00000"}}};
    zhang.bankAccounts = {
        {{692, "0102"}, {511, "RMB"}, {693, "6222020200001234567"}, {716, "000010086001"}},
        {{692, "0104"}, {511, "USD"}, {693, "6013820000123456"}, {716, "000010086001"}}};

    // The second account: no link number, bank service and quotes, nothing to confirm.
    TradingAccount li;
    li.khh = "000010086002";
    li.password = "654321";
    li.info = {{697, "0102"},      {613, "李四"},  {570, "96"},       {1844, "96"}, {1730, "8888"},
               {3001, "LS0002"},   {1332, "个人"}, {920, ""},         {820, "0"},   {964, ""},
               {1831, "20261209"}, {9020, "0"},    {1832, "20261209"}};
    li.tradingCodes = {{{599, "SQ"},
                        {1716, "81005678"},
                        {795, "000010086002"},
                        {691, "SQ0123"},
                        {574, "0"},
                        {511, "RMB"}},
                       {{599, "DL"},
                        {1716, "01005678"},
                        {795, "000010086002"},
                        {691, "DL0123"},
                        {574, "0"},
                        {511, "RMB"}}};
    li.funds = {{{716, "000010086002"},
                 {511, "RMB"},
                 {803, "200000.00"},
                 {1779, "198765.43"},
                 {619, "150000.00"},
                 {617, "148000.00"},
                 {1720, "48765.43"},
                 {1724, "24.53450"},
                 {1746, "56.70"},
                 {709, "198765.43"}}};
    li.bankAccounts = {
        {{692, "0103"}, {511, "RMB"}, {693, "6228480000987654321"}, {716, "000010086002"}}};
    day.accounts = {std::move(zhang), std::move(li)};

    // Link 12: the first account and its linked client 000010086003, in two trading groups.
    day.linkedClients = {{{605, "000010086001"}, {613, "张三"}, {697, "0101"}, {1837, "12"}},
                         {{605, "000010086003"}, {613, "王五"}, {697, "0101"}, {1837, "12"}}};
    day.groups = {{{1839, "1"}, {3031, "铜组"}, {1840, "2"}, {1837, "12"}},
                  {{1839, "2"}, {3031, "豆粕组"}, {1840, "1"}, {1837, "12"}}};
    day.groupMembers = {
        {{605, "000010086001"}, {613, "张三"}, {591, "1"}, {1839, "1"}, {1837, "12"}, {684, "5"}},
        {{605, "000010086003"}, {613, "王五"}, {591, "2"}, {1839, "1"}, {1837, "12"}, {684, "10"}},
        {{605, "000010086003"}, {613, "王五"}, {591, "3"}, {1839, "2"}, {1837, "12"}, {684, "6"}}};
    return day;
}

TradingDay GeneratedTradingDay(int contracts, int options) {
    TradingDay day = SampleTradingDay();
    day.products.clear();
    day.futures.clear();
    day.combinations.clear();
    day.options.clear();

    // Products "gaa", "gab", ... over the four exchanges, three months each.
    const int productCount = (std::max(contracts, 0) + 2) / 3;
    std::vector<std::string> codes(static_cast<std::size_t>(productCount));
    std::vector<std::string> names(static_cast<std::size_t>(productCount));
    constexpr const char* kExchanges[] = {"SQ", "DL", "ZZ", "ZJ"};
    constexpr double kTicks[] = {1, 0.5, 0.2, 5};
    int serial = 0;
    int number = 5001;
    for (int i = 0; i < productCount; ++i) {
        std::string& code = codes[static_cast<std::size_t>(i)];
        code = "g";
        code += static_cast<char>('a' + i / 26 % 26);
        code += static_cast<char>('a' + i % 26);
        if (i >= 26 * 26) code += static_cast<char>('a' + i / (26 * 26) % 26);
        names[static_cast<std::size_t>(i)] = "品种" + code;
        const ProductData p{kExchanges[i % 4],
                            code.c_str(),
                            names[static_cast<std::size_t>(i)].c_str(),
                            kTicks[i % 4],
                            10,
                            1000.0 + 10 * i,
                            0.07,
                            3};
        day.products.push_back(ProductRow(p.exchange, p.product, p.name, p.tick, p.multiplier));
        int listed = 0;
        for (int month = 0; month < p.months && serial < contracts; ++month, ++listed)
            day.futures.push_back(FuturesRow(p, month, serial++));
        if (listed >= 2) {
            const std::string leg1 = ContractCode(p, 0);
            const std::string leg2 = ContractCode(p, 1);
            day.combinations.push_back({{889, FormatInt(number++)},
                                        {599, p.exchange},
                                        {1060, fmt::format("SP {}&{}", leg1, leg2)},
                                        {3549, "2"},
                                        {1008, "0"},
                                        {621, "0"},
                                        {582, "0"},
                                        {1392, leg1},
                                        {1393, leg2}});
        }
    }

    // Fifty strikes a side on each underlying, from the first futures on.
    constexpr int kStrikes = 50;
    for (int n = 0; n < options && !day.futures.empty(); ++n) {
        const Row& future =
            day.futures[static_cast<std::size_t>(n / (2 * kStrikes)) % day.futures.size()];
        const int kind = n % 2 + 1;
        const double settle = Number(future, 813);
        const double strike = std::round(settle * (0.75 + 0.01 * (n / 2 % kStrikes)));
        const std::string underlying = FieldOf(future, 719);
        day.options.push_back({{599, FieldOf(future, 599)},
                               {9100, fmt::format("{}-{}-{}", underlying, kind == 1 ? 'C' : 'P',
                                                  static_cast<int64_t>(strike))},
                               {719, underlying},
                               {1854, FormatInt(kind)},
                               {590, "20270409"},
                               {1240, "20270409"},
                               {1569, FormatFixed(strike, 4)},
                               {1568, "0"},
                               {594, "0.5"},
                               {1752, "10.00"},
                               {720, FieldOf(future, 720)},
                               {511, "RMB"},
                               {686, "100"},
                               {1755, "50"},
                               {813, FormatFixed(std::max(1.0, settle - strike), 1)}});
    }
    return day;
}

}  // namespace testserver
