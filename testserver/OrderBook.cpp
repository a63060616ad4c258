// The order book of the test server: order acceptance with its checks and freezes, the
// confirmation, cancel and fill events with their pushes, and the order, trade, position and
// funds queries.
#include "testserver/OrderBook.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <iterator>
#include <limits>
#include <tuple>

#include "platform/core/Numbers.h"

namespace testserver {

namespace {

using platform::AtolSat;
using platform::FormatFixed;
using platform::FormatInt;

// Refusal codes of the book.
constexpr int32_t kCodeNoAccount = -1;
constexpr int32_t kCodeBadPassword = -2;
constexpr int32_t kCodeUnsupported = -3;
constexpr int32_t kCodeNotFound = -100;
constexpr int32_t kCodeBadOrder = -101;
constexpr int32_t kCodeNoFunds = -150;
constexpr int32_t kCodeNoPosition = -151;
constexpr int32_t kCodeNotCancellable = -160;

constexpr int32_t kCancelEntryFailed = 9;  // 撤单未成

Answer Refusal(int32_t code, std::string text) {
    Answer answer;
    answer.rows.push_back({{507, FormatInt(code)}, {508, std::move(text)}});
    return answer;
}

double Number(const Row& row, int32_t tag) { return platform::Atof(FieldOf(row, tag)); }
double Number(const ReceivedRequest& request, int32_t tag) {
    return platform::Atof(request.Get(tag));
}
int32_t Long(const ReceivedRequest& request, int32_t tag) { return AtolSat(request.Get(tag)); }

double Round2(double v) { return std::round(v * 100.0) / 100.0; }
std::string Money(double v) { return FormatFixed(Round2(v), 2); }
std::string Price(double v) { return FormatFixed(v, 4); }

std::string NowText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return fmt::format("{:02}:{:02}:{:02}", local.tm_hour, local.tm_min, local.tm_sec);
}

void SetField(Row& row, int32_t tag, std::string value) {
    for (Field& field : row)
        if (field.tag == tag) {
            field.value = std::move(value);
            return;
        }
    row.push_back({tag, std::move(value)});
}

bool IsCancelFunction(int32_t function) {
    return std::find(std::begin(kCancelFunctions), std::end(kCancelFunctions), function) !=
           std::end(kCancelFunctions);
}

// A refusal a test scripted for the next request, used up by it.
std::optional<Answer> TakeRefusal(std::optional<std::pair<int32_t, std::string>>& scripted) {
    if (!scripted) return std::nullopt;
    auto [code, text] = std::move(*scripted);
    scripted.reset();
    return Refusal(code, std::move(text));
}

const Row* FindExchangeRow(const TradingDay& day, const std::string& code) {
    for (const Row& row : day.exchanges)
        if (FieldOf(row, 599) == code) return &row;
    return nullptr;
}

bool IsMaxQuantityFunction(int32_t function) {
    return std::find(std::begin(kMaxQuantityFunctions), std::end(kMaxQuantityFunctions),
                     function) != std::end(kMaxQuantityFunctions);
}

bool IsOptionInsert(int32_t function) {
    return function == kFunctionOptionInsert || function == kFunctionOptionInsertExercise ||
           function == kFunctionOptionInsertOther;
}

// Page size 762: 0 or less (or absent) = every row.
std::size_t PageSize(const ReceivedRequest& request) {
    const int32_t size = Long(request, 762);
    return size > 0 ? static_cast<std::size_t>(size) : std::numeric_limits<std::size_t>::max();
}

// Optional filters: absent or empty text matches everything.
bool Matches(const ReceivedRequest& request, int32_t tag, const std::string& value) {
    const std::string* wanted = request.Find(tag);
    return wanted == nullptr || wanted->empty() || *wanted == value;
}
bool MatchesNumber(const ReceivedRequest& request, int32_t tag, int32_t value) {
    const std::string* wanted = request.Find(tag);
    return wanted == nullptr || AtolSat(*wanted) == 0 || AtolSat(*wanted) == value;
}

// Newest first: the rows whose key is below the continuation key (0 = from the newest), at
// most a page of them. `rows` are sorted on the key, descending.
std::vector<Row> Page(std::vector<std::pair<int32_t, Row>> rows, int32_t after, std::size_t size) {
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<Row> page;
    for (auto& [key, row] : rows) {
        if (after > 0 && key >= after) continue;
        if (page.size() >= size) break;
        page.push_back(std::move(row));
    }
    return page;
}

Answer Rows(std::vector<Row> rows) {
    Answer answer;
    for (Row& row : rows) {
        row.insert(row.begin(), Field{507, "1"});
        answer.rows.push_back(std::move(row));
    }
    return answer;
}

}  // namespace

OrderBook::OrderBook(TradingDay day) : OrderBook(std::move(day), Options{}) {}

OrderBook::OrderBook(TradingDay day, Options options) : day_(std::move(day)), options_(options) {
    worker_ = std::jthread([this](std::stop_token stop) { Work(stop); });
}

OrderBook::~OrderBook() {
    worker_.request_stop();
    if (worker_.joinable()) worker_.join();
}

void OrderBook::SetPusher(Pusher pusher) {
    std::lock_guard lock(mutex_);
    pusher_ = std::move(pusher);
}

bool OrderBook::Serves(int32_t function) {
    switch (function) {
        case kFunctionOrderInsert:
        case kFunctionOptionInsert:
        case kFunctionOptionInsertExercise:
        case kFunctionOptionInsertOther:
        case kFunctionCombinationInsert:
        case kFunctionCombinationInsertSwap:
        case kFunctionOrderQuery:
        case kFunctionTradeQuery:
        case kFunctionPositionQuery:
        case kFunctionOptionPositionQuery:
        case kFunctionFunds:
        case kFunctionStopOrder:
        case kFunctionConditionalOrder:
            return true;
        default:
            return IsCancelFunction(function) || IsMaxQuantityFunction(function);
    }
}

std::optional<Answer> OrderBook::AnswerFor(const ReceivedRequest& request) {
    if (!Serves(request.function)) return std::nullopt;
    std::lock_guard lock(mutex_);
    const TradingAccount* account = nullptr;
    switch (request.function) {
        case kFunctionOrderQuery:
            // Without a customer the query covers every account.
            if (!request.Get(605).empty())
                if (auto refusal = CheckAccount(request, account)) return refusal;
            return QueryOrders(request);
        case kFunctionTradeQuery:
            if (auto refusal = CheckAccount(request, account)) return refusal;
            return QueryTrades(request);
        case kFunctionPositionQuery:
        case kFunctionOptionPositionQuery:
            if (auto refusal = CheckAccount(request, account)) return refusal;
            return QueryPositions(request, request.function == kFunctionOptionPositionQuery);
        case kFunctionFunds:
            if (auto refusal = CheckAccount(request, account)) return refusal;
            return QueryFunds(*account);
        case kFunctionStopOrder:
        case kFunctionConditionalOrder:
            stopAndConditional_.push_back(request);
            return SubmitStopOrConditional(request);
        default:
            break;
    }
    if (IsMaxQuantityFunction(request.function)) return QueryMaxQuantity(request);
    if (IsCancelFunction(request.function)) {
        cancels_.push_back(request);
        return Cancel(request);
    }
    submits_.push_back(request);
    return Submit(request);
}

std::optional<Answer> OrderBook::CheckAccount(const ReceivedRequest& request,
                                              const TradingAccount*& account) const {
    const std::string khh = request.Get(605);
    if (khh.empty()) return Refusal(kCodeNoAccount, "客户号不能为空");
    account = day_.FindAccount(khh);
    if (account == nullptr) return Refusal(kCodeNoAccount, fmt::format("客户号[{}]不存在", khh));
    if (const std::string* password = request.Find(598);
        password != nullptr && !PasswordMatches(*password, account->password))
        return Refusal(kCodeBadPassword, "交易密码错误");
    return std::nullopt;
}

std::optional<OrderBook::Contract> OrderBook::FindContract(const std::string& code) const {
    auto fill = [](const Row& row, bool option) {
        Contract c;
        c.row = &row;
        c.option = option;
        c.multiplier = Number(row, 1752) > 1e-6 ? Number(row, 1752) : 1.0;
        c.tick = Number(row, 594);
        c.upper = Number(row, 706);
        c.lower = Number(row, 703);
        c.bid = Number(row, 842);
        c.ask = Number(row, 850);
        c.settle = Number(row, 813);
        c.maxQuantity = AtolSat(FieldOf(row, 686));
        c.exchange = FieldOf(row, 599);
        c.currency = FieldOf(row, 511).empty() ? "RMB" : FieldOf(row, 511);
        c.product = FieldOf(row, 720);
        c.name = FieldOf(row, option ? 9100 : 722);
        return c;
    };
    if (code.empty()) return std::nullopt;
    for (const Row& row : day_.futures)
        if (FieldOf(row, 719) == code) return fill(row, false);
    for (const Row& row : day_.options)
        if (FieldOf(row, 9100) == code) return fill(row, true);
    return std::nullopt;
}

OrderBook::FundsDelta& OrderBook::DeltaOf(const std::string& khh, const std::string& currency) {
    return funds_[{khh, currency}];
}

// Yesterday's bucket first: that is the order in which a close takes positions. "4" (and
// "3") close today's positions only; on SQ a plain close takes yesterday's only.
std::vector<BookPosition*> OrderBook::CloseBuckets(const BookOrder& order) {
    const bool todayOnly = order.openClose == 3 || order.openClose == 4;
    const bool yesterdayOnly = !todayOnly && order.exchange == "SQ";
    std::vector<BookPosition*> buckets;
    for (bool today : {false, true}) {
        if ((today && yesterdayOnly) || (!today && todayOnly)) continue;
        for (BookPosition& p : positions_)
            if (p.today == today && p.khh == order.khh && p.exchange == order.exchange &&
                p.contract == order.contract && p.tradingCode == order.tradingCode &&
                p.side == 3 - order.direction && p.hedge == order.hedge)
                buckets.push_back(&p);
    }
    return buckets;
}

Answer OrderBook::Submit(const ReceivedRequest& r) {
    const TradingAccount* account = nullptr;
    if (auto refusal = CheckAccount(r, account)) return *refusal;
    if (r.function == kFunctionCombinationInsert || r.function == kFunctionCombinationInsertSwap)
        return Refusal(kCodeUnsupported, "不支持组合委托");
    if (auto refusal = TakeRefusal(refuseOrder_)) return *refusal;

    BookOrder o;
    o.function = r.function;
    o.option = IsOptionInsert(r.function);
    o.khh = account->khh;
    o.exchange = r.Get(599);
    o.contract = r.Get(o.option ? 9100 : 719);
    o.tradingCode = r.Get(1716);
    o.quantity = Long(r, 684);
    o.price = Number(r, 682);
    o.openClose = Long(r, 1718);
    o.hedge = Long(r, 1717);
    o.direction = Long(r, 683);
    o.orderType = Long(r, 1681);
    o.orderKind = Long(r, 1842);
    o.batchNumber = Long(r, 797);
    o.autoKind = Long(r, 7113);
    o.fillCondition = Long(r, 665);
    o.minFillQuantity = Long(r, 1858);

    const std::optional<Contract> contract = FindContract(o.contract);
    if (!contract || contract->option != o.option)
        return Refusal(kCodeNotFound, fmt::format("合约[{}]不存在", o.contract));
    if (contract->exchange != o.exchange)
        return Refusal(kCodeBadOrder,
                       fmt::format("合约[{}]不属于交易所[{}]", o.contract, o.exchange));
    const bool codeKnown = std::any_of(
        account->tradingCodes.begin(), account->tradingCodes.end(), [&](const Row& row) {
            return FieldOf(row, 599) == o.exchange && FieldOf(row, 1716) == o.tradingCode;
        });
    if (!codeKnown) return Refusal(kCodeBadOrder, fmt::format("交易编码[{}]不存在", o.tradingCode));
    if (o.direction != 1 && o.direction != 2)
        return Refusal(kCodeBadOrder, fmt::format("买卖方向[{}]无效", o.direction));
    if (o.openClose < 1 || o.openClose > 4)
        return Refusal(kCodeBadOrder, fmt::format("开平标志[{}]无效", o.openClose));
    if (o.quantity <= 0) return Refusal(kCodeBadOrder, "委托数量必须大于0");
    if (contract->maxQuantity > 0 && o.quantity > contract->maxQuantity)
        return Refusal(kCodeBadOrder,
                       fmt::format("委托数量超过单笔最大下单量{}", contract->maxQuantity));
    const bool market = o.orderType == kOrderTypeMarket;
    if (market) {
        const Row* exchange = FindExchangeRow(day_, o.exchange);
        if (exchange == nullptr || (AtolSat(FieldOf(*exchange, 1681)) & 2) == 0)
            return Refusal(kCodeBadOrder, fmt::format("交易所[{}]不支持市价委托", o.exchange));
        if (o.price != 0) return Refusal(kCodeBadOrder, "市价委托的价格必须为0");
    } else if (!(o.price > 0) || !std::isfinite(o.price)) {
        return Refusal(kCodeBadOrder, "委托价格无效");
    }
    if (!market && ((contract->upper > 0 && o.price > contract->upper + 1e-9) ||
                    (contract->lower > 0 && o.price < contract->lower - 1e-9)))
        return Refusal(kCodeBadOrder, fmt::format("委托价格超出涨跌停板[{},{}]",
                                                  Price(contract->lower), Price(contract->upper)));
    if (!market && contract->tick > 0) {
        const double steps = o.price / contract->tick;
        if (std::fabs(steps - std::round(steps)) > 1e-6)
            return Refusal(kCodeBadOrder, fmt::format("委托价格不是最小变动价位{}的整数倍",
                                                      Price(contract->tick)));
    }
    o.currency = contract->currency;
    o.product = contract->product;
    o.multiplier = contract->multiplier;
    o.fee = Round2(options_.feePerHand * o.quantity);

    if (o.openClose == 1) {
        // A market order freezes as if it paid the limit-up price.
        const double price = market ? contract->upper : o.price;
        o.margin = Round2(price * o.quantity * o.multiplier * options_.marginRate);
        const double need = o.margin + o.fee;
        double available = 0;
        for (const Row& row : FundsRows(o.khh))
            if (FieldOf(row, 511) == o.currency) available = Number(row, 619);
        if (need > available + 1e-6)
            return Refusal(kCodeNoFunds, fmt::format("可用资金不足,需要{},可用{}", Money(need),
                                                     Money(available)));
        o.frozenFunds = need;
        DeltaOf(o.khh, o.currency).frozen += need;
    } else {
        std::vector<BookPosition*> buckets = CloseBuckets(o);
        int32_t available = 0;
        for (const BookPosition* p : buckets) available += p->Available();
        if (available < o.quantity)
            return Refusal(kCodeNoPosition, fmt::format("可平仓数量不足,可平{}手", available));
        int32_t left = o.quantity;
        for (BookPosition* p : buckets) {
            const int32_t take = std::min(left, p->Available());
            p->frozen += take;
            (p->today ? o.frozenToday : o.frozenYesterday) += take;
            left -= take;
        }
    }
    if (rejectNext_) {
        o.rejectText = std::move(*rejectNext_);
        rejectNext_.reset();
    }
    o.number = nextOrderNumber_++;
    o.serial = nextSerial_++;
    o.orderTime = NowText();
    o.resultText = "已受理";
    orders_[o.number] = o;
    resting_[o.contract].insert(o.number);

    Event event;
    event.kind = Event::Confirm;
    event.order = o.number;
    event.connection = r.connection;
    event.packetId = r.packetId;
    EnqueueConfirmation(event);

    Answer answer;
    answer.rows.push_back({{507, "1"},
                           {508, "委托已受理"},
                           {681, FormatInt(o.number)},
                           {1720, Money(o.margin)},
                           {1234, Money(o.fee)}});
    return answer;
}

Answer OrderBook::Cancel(const ReceivedRequest& r) {
    const TradingAccount* account = nullptr;
    if (auto refusal = CheckAccount(r, account)) return *refusal;
    if (auto refusal = TakeRefusal(refuseCancel_)) return *refusal;
    const int32_t number = Long(r, 681);
    auto it = orders_.find(number);
    if (it == orders_.end() || it->second.khh != account->khh ||
        !Matches(r, 599, it->second.exchange))
        return Refusal(kCodeNotFound, fmt::format("委托[{}]不存在", number));
    BookOrder& order = it->second;
    if (order.Finished() || order.Remaining() <= 0)
        return Refusal(kCodeNotCancellable, fmt::format("委托[{}]已完成,不能撤单", number));
    if (order.cancelPending)
        return Refusal(kCodeNotCancellable, fmt::format("委托[{}]已有撤单在处理中", number));
    order.cancelPending = true;
    CancelEntry entry;
    entry.serial = nextSerial_++;
    entry.order = number;
    entry.time = NowText();
    entry.text = "撤单已受理";
    cancelEntries_[entry.serial] = entry;

    Event event;
    event.kind = Event::CancelConfirm;
    event.order = number;
    event.cancelEntry = entry.serial;
    event.connection = r.connection;
    event.packetId = r.packetId;
    EnqueueConfirmation(event);

    Answer answer;
    answer.rows.push_back({{507, "1"}, {508, "撤单已受理"}, {681, FormatInt(number)}});
    return answer;
}

Answer OrderBook::SubmitStopOrConditional(const ReceivedRequest& r) {
    const TradingAccount* account = nullptr;
    if (auto refusal = CheckAccount(r, account)) return *refusal;
    if (auto refusal = TakeRefusal(refuseOrder_)) return *refusal;
    if (!FindContract(r.Get(719)))
        return Refusal(kCodeNotFound, fmt::format("合约[{}]不存在", r.Get(719)));
    if (Long(r, 684) <= 0) return Refusal(kCodeBadOrder, "委托数量必须大于0");
    Answer answer;
    answer.rows.push_back({{507, "1"},
                           {508, "委托已受理"},
                           {681, FormatInt(nextStopNumber_++)},
                           {1720, Money(0)},
                           {1234, Money(0)}});
    return answer;
}

Answer OrderBook::QueryMaxQuantity(const ReceivedRequest& r) {
    const TradingAccount* account = nullptr;
    if (auto refusal = CheckAccount(r, account)) return *refusal;
    auto answer = [](int32_t quantity) {
        Answer a;
        a.rows.push_back({{507, "1"}, {684, FormatInt(std::max(quantity, 0))}});
        return a;
    };
    const bool option = r.function == kFunctionOptionMaxQuantity;
    if (r.function != kFunctionMaxQuantity && !option) return answer(0);  // combinations
    const std::optional<Contract> c = FindContract(r.Get(option ? 9100 : 719));
    if (!c || c->option != option) return answer(0);
    BookOrder o;
    o.khh = account->khh;
    o.exchange = r.Get(599);
    o.contract = r.Get(option ? 9100 : 719);
    o.tradingCode = r.Get(1716);
    o.direction = Long(r, r.function == kFunctionMaxQuantity ? 683 : 595);
    o.openClose = Long(r, 1718);
    o.hedge = Long(r, 1717);
    if (o.direction != 1 && o.direction != 2) return answer(0);
    if (o.openClose != 1) {
        int32_t available = 0;
        for (const BookPosition* p : CloseBuckets(o)) available += p->Available();
        return answer(available);
    }
    double price = Number(r, 682);
    if (Long(r, 1681) == kOrderTypeMarket || !(price > 1e-6)) price = c->upper;
    const double perHand = price * c->multiplier * options_.marginRate + options_.feePerHand;
    double funds = 0;
    for (const Row& row : FundsRows(o.khh))
        if (FieldOf(row, 511) == c->currency) funds = Number(row, 619);
    int32_t quantity = perHand > 1e-9 ? static_cast<int32_t>(std::min(funds / perHand, 1e9)) : 0;
    // 9020 = 0 applies the per-order cap.
    if (Long(r, 9020) == 0 && c->maxQuantity > 0) quantity = std::min(quantity, c->maxQuantity);
    return answer(quantity);
}

Row OrderBook::OrderRow(const BookOrder& o) const {
    const double average = o.filled > 0 ? o.fillAmount / o.filled / o.multiplier : 0.0;
    return {{681, FormatInt(o.number)},
            {797, FormatInt(o.serial)},
            {755, "O"},
            {605, o.khh},
            {599, o.exchange},
            {719, o.contract},
            {1716, o.tradingCode},
            {683, FormatInt(o.direction)},
            {1718, FormatInt(o.openClose)},
            {1717, FormatInt(o.hedge)},
            {682, Price(o.price)},
            {684, FormatInt(o.quantity)},
            {1681, FormatInt(o.orderType)},
            {1842, FormatInt(o.orderKind)},
            {1855, FormatInt(o.batchNumber)},
            {1857, FormatInt(o.fillCondition)},
            {1858, FormatInt(o.minFillQuantity)},
            {7113, FormatInt(o.autoKind)},
            {753, FormatInt(o.state)},
            {750, o.orderTime},
            {751, o.reportTime},
            {830, o.resultText},
            {525, Price(average)},
            {524, Money(o.fillAmount)},
            {528, FormatInt(o.filled)},
            {886, FormatInt(o.cancelled)},
            {1720, Money(o.margin)},
            {1234, Money(o.fee)},
            {1261, o.exchangeOrderId}};
}

Answer OrderBook::QueryOrders(const ReceivedRequest& r) const {
    const int32_t mask = Long(r, 9020);
    auto wanted = [&](const BookOrder& o) {
        return Matches(r, 605, o.khh) && Matches(r, 599, o.exchange) &&
               Matches(r, 719, o.contract) && MatchesNumber(r, 1855, o.batchNumber) &&
               MatchesNumber(r, 1842, o.orderKind) && MatchesNumber(r, 1681, o.orderType) &&
               MatchesNumber(r, 681, o.number);
    };
    auto hidden = [&](const BookOrder& o) {
        return ((mask & 1) && o.state == kStateFilled) ||
               ((mask & 2) && (o.state == kStateCancelled || o.state == kStatePartlyCancelled)) ||
               ((mask & 4) && o.state == kStateRejected) || ((mask & 8) && o.orderKind != 0);
    };
    std::vector<std::pair<int32_t, Row>> rows;
    for (const auto& [number, o] : orders_)
        if (wanted(o) && !hidden(o)) rows.emplace_back(o.serial, OrderRow(o));
    // Cancel entries carry the fields of their order, so the same filters find them.
    if (!(mask & 2))
        for (const auto& [serial, entry] : cancelEntries_) {
            const BookOrder& o = orders_.at(entry.order);
            if (!wanted(o)) continue;
            Row row = OrderRow(o);
            SetField(row, 797, FormatInt(serial));
            SetField(row, 755, "W");
            SetField(row, 753, FormatInt(entry.state));
            SetField(row, 750, entry.time);
            SetField(row, 830, entry.text);
            rows.emplace_back(serial, std::move(row));
        }
    return Rows(Page(std::move(rows), Long(r, 797), PageSize(r)));
}

Answer OrderBook::QueryTrades(const ReceivedRequest& r) const {
    const std::string khh = r.Get(605);
    std::vector<const BookTrade*> trades;
    for (const BookTrade& t : trades_)
        if (t.khh == khh && Matches(r, 599, t.exchange) && Matches(r, 719, t.contract) &&
            Matches(r, 720, t.product) && MatchesNumber(r, 681, t.order))
            trades.push_back(&t);
    const int32_t mode = Long(r, 959);
    const int32_t after = Long(r, 763);
    std::vector<std::pair<int32_t, Row>> rows;
    if (mode == 2 || mode == 4) {
        // Merged: one row per order and contract, keyed by the order number. Summary: one row
        // per contract, side and open/close, keyed by its newest trade, 525 holding the amount.
        struct Group {
            const BookTrade* first;
            int32_t quantity = 0, serial = 0;
            double amount = 0, profit = 0, fee = 0;
        };
        std::map<std::tuple<int32_t, std::string, std::string, int32_t, int32_t>, Group> groups;
        for (const BookTrade* t : trades) {
            auto key = mode == 2 ? std::make_tuple(t->order, std::string(), t->contract, 0, 0)
                                 : std::make_tuple(0, t->exchange, t->contract, t->direction,
                                                   t->openClose);
            Group& g = groups.try_emplace(key, Group{t}).first->second;
            g.quantity += t->quantity;
            g.amount += t->amount;
            g.profit += t->closeProfit;
            g.fee += t->fee;
            g.serial = std::max(g.serial, t->serial);
        }
        for (const auto& [key, g] : groups) {
            const BookTrade& t = *g.first;
            const std::optional<Contract> c = FindContract(t.contract);
            const double multiplier = c ? c->multiplier : 1.0;
            Row row{{862, FormatInt(g.serial)},
                    {605, t.khh},
                    {599, t.exchange},
                    {719, t.contract},
                    {720, t.product},
                    {683, FormatInt(t.direction)},
                    {1718, FormatInt(t.openClose)},
                    {528, FormatInt(g.quantity)},
                    {524, Money(g.amount)},
                    {1776, Money(g.profit)},
                    {1234, Money(g.fee)}};
            if (mode == 2) {
                row.insert(row.begin(), Field{681, FormatInt(t.order)});
                row.push_back({1716, t.tradingCode});
                row.push_back({1717, FormatInt(t.hedge)});
                row.push_back({525, Price(g.amount / g.quantity / multiplier)});
            } else {
                row.push_back({525, Money(g.amount)});
            }
            rows.emplace_back(mode == 2 ? t.order : g.serial, std::move(row));
        }
    } else {
        for (const BookTrade* t : trades)
            rows.emplace_back(t->serial, Row{{862, FormatInt(t->serial)},
                                             {522, t->number},
                                             {527, t->time},
                                             {681, FormatInt(t->order)},
                                             {605, t->khh},
                                             {599, t->exchange},
                                             {719, t->contract},
                                             {720, t->product},
                                             {1716, t->tradingCode},
                                             {683, FormatInt(t->direction)},
                                             {1718, FormatInt(t->openClose)},
                                             {1717, FormatInt(t->hedge)},
                                             {525, Price(t->price)},
                                             {528, FormatInt(t->quantity)},
                                             {524, Money(t->amount)},
                                             {1776, Money(t->closeProfit)},
                                             {1234, Money(t->fee)}});
    }
    return Rows(Page(std::move(rows), after, PageSize(r)));
}

Answer OrderBook::QueryPositions(const ReceivedRequest& r, bool options) const {
    const std::string khh = r.Get(605);
    const int32_t side = Long(r, 683);
    const std::string* hedge = r.Find(1717);
    std::vector<Row> rows;
    for (const BookPosition& p : positions_) {
        if (p.khh != khh || p.quantity <= 0) continue;
        const std::optional<Contract> c = FindContract(p.contract);
        if (!c || c->option != options) continue;
        if (!Matches(r, options ? 9100 : 719, p.contract) || !Matches(r, 599, p.exchange) ||
            !Matches(r, 1716, p.tradingCode) || (side > 0 && side != p.side) ||
            (hedge != nullptr && !hedge->empty() && AtolSat(*hedge) >= 0 &&
             AtolSat(*hedge) != p.hedge))
            continue;
        Row row{{605, p.khh}, {599, p.exchange}};
        if (options) {
            row.push_back({9100, p.contract});
            row.push_back({9101, c->name});
        } else {
            row.push_back({719, p.contract});
            row.push_back({722, c->name});
        }
        const Row& contract = *c->row;
        row.insert(row.end(), {{1716, p.tradingCode},
                               {683, FormatInt(p.side)},
                               {1717, FormatInt(p.hedge)},
                               {1137, p.today ? "1" : "0"},
                               {1209, Price(p.amount / p.quantity / c->multiplier)},
                               {757, FormatInt(p.quantity)},
                               {1460, FormatInt(p.Available())},
                               {684, FormatInt(p.frozen)},
                               {1722, "0"},
                               {729, FieldOf(contract, 729)},
                               {813, FieldOf(contract, 813)},
                               {1720, Money(p.margin)},
                               {524, Money(p.amount)},
                               {603, p.openDate},
                               {1752, FormatFixed(c->multiplier, 2)},
                               {1873, options ? "1" : "0"},
                               {511, c->currency},
                               {720, c->product}});
        rows.push_back(std::move(row));
    }
    return Rows(std::move(rows));
}

std::vector<Row> OrderBook::Funds(const std::string& khh) const {
    std::lock_guard lock(mutex_);
    return FundsRows(khh);
}

std::vector<Row> OrderBook::FundsRows(const std::string& khh) const {
    const TradingAccount* account = day_.FindAccount(khh);
    if (account == nullptr) return {};
    std::vector<Row> rows;
    for (Row row : account->funds) {
        const std::string currency = FieldOf(row, 511).empty() ? "RMB" : FieldOf(row, 511);
        auto it = funds_.find({khh, currency});
        if (it != funds_.end()) {
            const FundsDelta& d = it->second;
            auto add = [&](int32_t tag, double delta) {
                SetField(row, tag, Money(Number(row, tag) + delta));
            };
            const double spent = d.frozen + d.margin + d.fee - d.profit;
            add(764, d.frozen);
            add(1720, d.margin);
            add(1746, d.fee);
            add(1776, d.profit);
            add(619, -spent);
            add(617, -spent);
            add(1779, d.profit - d.fee);
            const double equity = Number(row, 1779);
            SetField(
                row, 1724,
                FormatFixed(std::fabs(equity) > 1e-6 ? Number(row, 1720) / equity * 100 : 0, 5));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

Answer OrderBook::QueryFunds(const TradingAccount& account) const {
    return Rows(FundsRows(account.khh));
}

void OrderBook::AnswerSent(std::size_t connection, uint32_t packetId) {
    std::lock_guard lock(mutex_);
    bool any = false;
    const auto now = std::chrono::steady_clock::now();
    for (Event& e : events_)
        if (!e.answered && e.connection == connection && e.packetId == packetId) {
            e.answered = true;
            e.due = now + e.delay;
            any = true;
        }
    if (any) {
        ++generation_;
        changed_.notify_all();
    }
}

void OrderBook::EnqueueConfirmation(Event event) {
    event.held = mode_ == ConfirmMode::Never;
    event.delay = mode_ == ConfirmMode::Delayed ? delay_ : std::chrono::milliseconds(0);
    Enqueue(event);
}

void OrderBook::Enqueue(Event event) {
    events_.push_back(event);
    ++generation_;
    changed_.notify_all();
}

void OrderBook::SetConfirmMode(ConfirmMode mode, std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    mode_ = mode;
    delay_ = delay;
}

void OrderBook::RefuseNextOrder(int32_t code, std::string text) {
    std::lock_guard lock(mutex_);
    refuseOrder_.emplace(code, std::move(text));
}

void OrderBook::RejectNextOrder(std::string text) {
    std::lock_guard lock(mutex_);
    rejectNext_ = std::move(text);
}

void OrderBook::RefuseNextCancel(int32_t code, std::string text) {
    std::lock_guard lock(mutex_);
    refuseCancel_.emplace(code, std::move(text));
}

std::size_t OrderBook::ReleaseHeld() {
    std::lock_guard lock(mutex_);
    std::size_t released = 0;
    const auto now = std::chrono::steady_clock::now();
    for (Event& e : events_)
        if (e.held) {
            e.held = false;
            e.delay = std::chrono::milliseconds(0);
            e.due = now;  // an event whose answer is not out yet gets its time then
            ++released;
        }
    ++generation_;
    changed_.notify_all();
    return released;
}

bool OrderBook::Fill(int32_t orderNumber, int32_t quantity, double price) {
    std::lock_guard lock(mutex_);
    if (orders_.count(orderNumber) == 0) return false;
    Event event;
    event.kind = Event::Fill;
    event.order = orderNumber;
    event.quantity = quantity;
    event.price = price;
    event.answered = true;
    event.due = std::chrono::steady_clock::now();
    Enqueue(event);
    return true;
}

bool OrderBook::WaitIdle(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return Idle(); });
}

void OrderBook::AddPosition(BookPosition position) {
    std::lock_guard lock(mutex_);
    Hold(std::move(position));
}

// Into the bucket of the same holding, or a new one.
void OrderBook::Hold(BookPosition position) {
    for (BookPosition& p : positions_)
        if (p.khh == position.khh && p.exchange == position.exchange &&
            p.contract == position.contract && p.tradingCode == position.tradingCode &&
            p.side == position.side && p.hedge == position.hedge && p.today == position.today) {
            p.quantity += position.quantity;
            p.amount += position.amount;
            p.margin += position.margin;
            return;
        }
    positions_.push_back(std::move(position));
}

std::optional<BookOrder> OrderBook::FindOrder(int32_t number) const {
    std::lock_guard lock(mutex_);
    auto it = orders_.find(number);
    if (it == orders_.end()) return std::nullopt;
    return it->second;
}

std::vector<BookTrade> OrderBook::Trades() const {
    std::lock_guard lock(mutex_);
    return trades_;
}

std::vector<BookPosition> OrderBook::Positions(const std::string& khh) const {
    std::lock_guard lock(mutex_);
    std::vector<BookPosition> out;
    for (const BookPosition& p : positions_)
        if (p.khh == khh) out.push_back(p);
    return out;
}

std::vector<ReceivedRequest> OrderBook::Submits() const {
    std::lock_guard lock(mutex_);
    return submits_;
}

std::vector<ReceivedRequest> OrderBook::Cancels() const {
    std::lock_guard lock(mutex_);
    return cancels_;
}

std::vector<ReceivedRequest> OrderBook::StopAndConditionalOrders() const {
    std::lock_guard lock(mutex_);
    return stopAndConditional_;
}

// Nothing will run without the test: every event left is held or waits behind a held one.
bool OrderBook::Idle() const {
    std::vector<int32_t> held;
    for (const Event& e : events_) {
        if (std::find(held.begin(), held.end(), e.order) != held.end()) continue;
        if (!e.held) return false;
        held.push_back(e.order);
    }
    return true;
}

std::deque<OrderBook::Event>::iterator OrderBook::NextRunnable(
    std::chrono::steady_clock::time_point now, std::chrono::steady_clock::time_point* wake) {
    // An event that cannot run yet holds back the later events of its order.
    std::vector<int32_t> waiting;
    for (auto it = events_.begin(); it != events_.end(); ++it) {
        if (std::find(waiting.begin(), waiting.end(), it->order) != waiting.end()) continue;
        if (it->answered && !it->held) {
            if (it->due <= now) return it;
            *wake = std::min(*wake, it->due);
        }
        waiting.push_back(it->order);
    }
    return events_.end();
}

void OrderBook::Work(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        const auto now = std::chrono::steady_clock::now();
        auto wake = std::chrono::steady_clock::time_point::max();
        const auto it = NextRunnable(now, &wake);
        if (it == events_.end()) {
            const uint64_t seen = generation_;
            auto moved = [&] { return generation_ != seen; };
            if (wake == std::chrono::steady_clock::time_point::max())
                changed_.wait(lock, stop, moved);
            else
                changed_.wait_until(lock, stop, wake, moved);
            continue;
        }
        const Event event = *it;
        events_.erase(it);
        // Run under the lock: the pushes of one order leave in the order of its events.
        Run(event);
        ++generation_;
        changed_.notify_all();
    }
}

void OrderBook::Run(const Event& event) {
    auto it = orders_.find(event.order);
    if (it == orders_.end()) return;
    switch (event.kind) {
        case Event::Confirm:
            RunConfirm(it->second);
            break;
        case Event::CancelConfirm:
            RunCancel(it->second, event.cancelEntry);
            break;
        case Event::Fill:
            RunFill(it->second, event.quantity, event.price);
            break;
    }
}

Row OrderBook::ConfirmPush(const BookOrder& o, const char* kind, int32_t outcome, int32_t cancelled,
                           const std::string& error) const {
    Row row{{605, o.khh},
            {599, o.exchange},
            {719, o.contract},
            {681, FormatInt(o.number)},
            {1842, FormatInt(o.orderKind)},
            {1855, FormatInt(o.batchNumber)},
            {1718, FormatInt(o.openClose)},
            {665, FormatInt(o.fillCondition)},
            {1681, FormatInt(o.orderType)},
            {755, kind},
            {1261, o.exchangeOrderId},
            {753, FormatInt(outcome)},
            {886, FormatInt(cancelled)},
            {751, o.reportTime},
            {683, FormatInt(o.direction)},
            {684, FormatInt(o.quantity)}};
    if (outcome != 1) row.push_back({1030, error});
    return row;
}

void OrderBook::Push(int32_t topic, const std::string& khh, const Row& row) {
    if (pusher_) pusher_(topic, khh, row);
}

void OrderBook::Release(BookOrder& o) {
    DeltaOf(o.khh, o.currency).frozen -= o.frozenFunds;
    o.frozenFunds = 0;
    for (BookPosition* p : CloseBuckets(o)) {
        int32_t& frozen = p->today ? o.frozenToday : o.frozenYesterday;
        p->frozen -= frozen;
        frozen = 0;
    }
}

void OrderBook::RunConfirm(BookOrder& o) {
    if (o.state != kStatePending) return;
    if (!o.rejectText.empty()) {
        o.state = kStateRejected;
        o.resultText = o.rejectText;
        Release(o);
        Push(kTopicOrderConfirm, o.khh, ConfirmPush(o, "O", 2, 0, o.rejectText));
        return;
    }
    o.state = kStateConfirmed;
    o.reportTime = NowText();
    o.exchangeOrderId = fmt::format("{:012}", o.number);
    o.resultText = "已报";
    Push(kTopicOrderConfirm, o.khh, ConfirmPush(o, "O", 1, 0, {}));
    if (!Matching()) return;
    // The live market's latest quote, else the day's prices with no limit on the volume.
    BookQuote scratch;
    BookQuote* quote = &scratch;
    if (auto live = quotes_.find(o.contract); live != quotes_.end()) {
        quote = &live->second;
    } else if (const std::optional<Contract> c = FindContract(o.contract)) {
        scratch = {c->bid, c->ask, INT32_MAX, INT32_MAX};
    }
    const bool mayNotRest = o.fillCondition == kFillAndKill || o.fillCondition == kFillOrKill ||
                            o.orderType == kOrderTypeMarket;
    const int32_t standing = o.direction == 1 ? quote->askVolume : quote->bidVolume;
    const int32_t least = o.fillCondition == kFillOrKill ? o.Remaining() : o.minFillQuantity;
    if (!mayNotRest || standing >= least) Match(o, *quote);
    if (mayNotRest) CancelRemainder(o);
}

void OrderBook::Match(BookOrder& o, BookQuote& quote) {
    if (o.state != kStateConfirmed && o.state != kStatePartlyFilled) return;
    const bool market = o.orderType == kOrderTypeMarket;
    const bool buy = o.direction == 1;
    const double price = buy ? quote.ask : quote.bid;
    int32_t& volume = buy ? quote.askVolume : quote.bidVolume;
    if (!(price > 0) || volume <= 0) return;
    if (!market && (buy ? o.price < price - 1e-9 : o.price > price + 1e-9)) return;
    const int32_t q = std::min(o.Remaining(), volume);
    volume -= q;
    RunFill(o, q, price);
}

void OrderBook::OnQuote(const std::string& code, BookQuote quote) {
    std::lock_guard lock(mutex_);
    BookQuote& latest = quotes_[code] = quote;
    if (auto resting = resting_.find(code); resting != resting_.end()) {
        std::set<int32_t>& numbers = resting->second;
        for (auto it = numbers.begin(); it != numbers.end();) {
            BookOrder& order = orders_.at(*it);
            Match(order, latest);
            it = order.Finished() ? numbers.erase(it) : std::next(it);
        }
    }
    ++generation_;
    changed_.notify_all();
}

void OrderBook::RunCancel(BookOrder& o, int32_t entrySerial) {
    CancelEntry& entry = cancelEntries_.at(entrySerial);
    o.cancelPending = false;
    std::string error;
    if (o.state == kStateRejected)
        error = "委托已被拒绝,不能撤单";
    else if (o.Remaining() <= 0 || o.Finished())
        error = "委托已全部成交,不能撤单";
    if (!error.empty()) {
        entry.state = kCancelEntryFailed;
        entry.text = error;
        Push(kTopicOrderConfirm, o.khh, ConfirmPush(o, "W", 2, 0, error));
        return;
    }
    entry.state = kStateCancelled;
    entry.text = "撤单成功";
    CancelRemainder(o);
}

void OrderBook::CancelRemainder(BookOrder& o) {
    const int32_t cancelled = o.Remaining();
    if (cancelled <= 0 || o.Finished()) return;
    o.cancelled += cancelled;
    o.state = o.filled > 0 ? kStatePartlyCancelled : kStateCancelled;
    o.resultText = "已撤单";
    Release(o);
    Push(kTopicOrderConfirm, o.khh, ConfirmPush(o, "W", 1, cancelled, {}));
}

void OrderBook::RunFill(BookOrder& o, int32_t quantity, double price) {
    if (o.state != kStateConfirmed && o.state != kStatePartlyFilled) return;
    const int32_t remaining = o.Remaining();
    const int32_t q = std::min(quantity, remaining);
    if (q <= 0) return;
    if (!(price > 0)) price = o.price;
    const double amount = price * q * o.multiplier;
    const double fee = Round2(options_.feePerHand * q);
    FundsDelta& funds = DeltaOf(o.khh, o.currency);
    double profit = 0;
    if (o.openClose == 1) {
        const double unfreeze = o.frozenFunds * q / remaining;
        o.frozenFunds -= unfreeze;
        funds.frozen -= unfreeze;
        BookPosition bought;
        bought.khh = o.khh;
        bought.exchange = o.exchange;
        bought.contract = o.contract;
        bought.tradingCode = o.tradingCode;
        bought.side = o.direction;
        bought.hedge = o.hedge;
        bought.today = true;
        bought.quantity = q;
        bought.amount = amount;
        bought.margin = Round2(amount * options_.marginRate);
        bought.openDate = day_.date;
        funds.margin += bought.margin;
        Hold(std::move(bought));
    } else {
        int32_t left = q;
        for (BookPosition* p : CloseBuckets(o)) {
            int32_t& frozen = p->today ? o.frozenToday : o.frozenYesterday;
            const int32_t take = std::min(left, frozen);
            if (take <= 0) continue;
            const double share = static_cast<double>(take) / p->quantity;
            const double openAmount = p->amount * share;
            const double margin = p->margin * share;
            profit += (price * take * o.multiplier - openAmount) * (p->side == 1 ? 1 : -1);
            p->quantity -= take;
            p->frozen -= take;
            p->amount -= openAmount;
            p->margin -= margin;
            funds.margin -= margin;
            frozen -= take;
            left -= take;
        }
        profit = Round2(profit);
    }
    funds.fee += fee;
    funds.profit += profit;
    o.filled += q;
    o.fillAmount += amount;
    o.state = o.filled == o.quantity ? kStateFilled : kStatePartlyFilled;
    o.resultText = o.state == kStateFilled ? "全部成交" : "部分成交";

    BookTrade t;
    t.serial = nextTradeSerial_++;
    t.number = fmt::format("{:08}", t.serial);
    t.order = o.number;
    t.khh = o.khh;
    t.exchange = o.exchange;
    t.contract = o.contract;
    t.tradingCode = o.tradingCode;
    t.product = o.product;
    t.time = NowText();
    t.direction = o.direction;
    t.openClose = o.openClose;
    t.hedge = o.hedge;
    t.quantity = q;
    t.price = price;
    t.amount = amount;
    t.closeProfit = profit;
    t.fee = fee;
    trades_.push_back(t);
    Push(kTopicTradeReturn, o.khh,
         {{605, t.khh},
          {599, t.exchange},
          {719, t.contract},
          {1716, t.tradingCode},
          {681, FormatInt(t.order)},
          {1842, FormatInt(o.orderKind)},
          {683, FormatInt(t.direction)},
          {1718, FormatInt(t.openClose)},
          {1855, FormatInt(o.batchNumber)},
          {862, FormatInt(t.serial)},
          {522, t.number},
          {527, t.time},
          {525, Price(t.price)},
          {528, FormatInt(t.quantity)},
          {524, Money(t.amount)},
          {1776, Money(t.closeProfit)},
          {1489, "1"},
          {1720, Money(o.openClose == 1 ? Round2(amount * options_.marginRate) : 0.0)}});
}

void AddSamplePositions(OrderBook& book) {
    auto add = [&](const char* khh, const char* exchange, const char* contract,
                   const char* tradingCode, int32_t side, int32_t quantity, double price,
                   double multiplier) {
        BookPosition p;
        p.khh = khh;
        p.exchange = exchange;
        p.contract = contract;
        p.tradingCode = tradingCode;
        p.side = side;
        p.quantity = quantity;
        p.amount = price * quantity * multiplier;
        p.margin = Round2(p.amount * 0.1);
        p.openDate = "20261209";
        book.AddPosition(std::move(p));
    };
    add("000010086001", "SQ", "cu2701", "81001234", 1, 3, 73800, 5);
    add("000010086001", "DL", "m2705", "01001234", 2, 5, 2950, 10);
    add("000010086001", "ZJ", "IF2701", "00102345", 1, 1, 3880.2, 300);
    add("000010086002", "SQ", "rb2701", "81005678", 1, 10, 3490, 10);
}

}  // namespace testserver
