// The live market's random walk: whole-tick moves clamped to the day's limits, trades that
// add volume, turnover and open interest, and a five-level book around the last price.
#include "testserver/Market.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/core/Numbers.h"

namespace testserver {

namespace {

constexpr int64_t kDayMs = 24LL * 3600 * 1000;

int DecimalsOf(double tick) {
    int decimals = 0;
    while (decimals < 6 && std::fabs(tick - std::round(tick)) > 1e-9) {
        tick *= 10;
        ++decimals;
    }
    return decimals;
}

int32_t AddSaturated(int32_t value, int64_t add) {
    return static_cast<int32_t>(
        std::min<int64_t>(value + add, std::numeric_limits<int32_t>::max()));
}

MarketQuote QuoteOf(const Row& row) {
    MarketQuote q;
    auto number = [&](int32_t tag) { return platform::Atof(FieldOf(row, tag)); };
    q.exchange = FieldOf(row, 599);
    q.code = FieldOf(row, 719);
    q.tick = number(594) > 0 ? number(594) : 1;
    q.multiplier = number(1752) > 0 ? number(1752) : 1;
    q.decimals = DecimalsOf(q.tick);
    auto ticks = [&](int32_t tag) { return std::llround(number(tag) / q.tick); };
    q.settlement = ticks(813);
    q.upper = static_cast<int64_t>(std::floor(number(706) / q.tick + 1e-9));
    q.lower = static_cast<int64_t>(std::ceil(number(703) / q.tick - 1e-9));
    if (q.upper < q.lower || q.upper <= 0) {
        // A row without limits: ten per cent around the settlement, at least one tick.
        const int64_t span = std::max<int64_t>(1, q.settlement / 10);
        q.upper = q.settlement + span;
        q.lower = std::max<int64_t>(1, q.settlement - span);
    }
    q.lower = std::max<int64_t>(q.lower, 1);
    auto clamp = [&](int64_t v) { return std::clamp(v, q.lower, q.upper); };
    q.close = clamp(ticks(726) > 0 ? ticks(726) : q.settlement);
    q.open = clamp(ticks(587) > 0 ? ticks(587) : q.settlement);
    q.last = clamp(ticks(729) > 0 ? ticks(729) : q.settlement);
    q.high = std::max(q.last, clamp(ticks(707)));
    q.low = std::min(q.last, clamp(ticks(704) > 0 ? ticks(704) : q.last));
    q.volume = std::max(0, platform::AtolSat(FieldOf(row, 528)));
    q.turnover = std::max(0.0, number(524));
    q.openInterest = std::max(0, platform::AtolSat(FieldOf(row, 1807)));
    q.previousInterest = std::max(0, platform::AtolSat(FieldOf(row, 1806)));
    return q;
}

// The five levels on each side of the last price. Levels beyond a limit do not exist: price
// and volume 0. `volume(bid, k)` gives a level's volume, called bid side first, level by level.
template <class Volume>
void SetBook(MarketQuote& q, Volume volume) {
    for (int k = 0; k < kBookLevels; ++k) {
        q.bids[k] = q.last - (k + 1) >= q.lower ? q.last - (k + 1) : 0;
        q.asks[k] = q.last + (k + 1) <= q.upper ? q.last + (k + 1) : 0;
        q.bidVolumes[k] = q.bids[k] > 0 ? volume(true, k) : 0;
        q.askVolumes[k] = q.asks[k] > 0 ? volume(false, k) : 0;
    }
}

}  // namespace

double MarketQuote::AveragePrice() const {
    if (volume <= 0 || multiplier <= 0) return 0;
    return turnover / multiplier / volume;
}

Market::Market(const TradingDay& day) : Market(day, Options{}) {}

Market::Market(const TradingDay& day, Options options) : options_(options), random_(options.seed) {
    options_.rate = std::isfinite(options_.rate) ? std::max(0.0, options_.rate) : 0;
    quotes_.reserve(day.futures.size());
    for (const Row& row : day.futures) {
        MarketQuote quote = QuoteOf(row);
        if (quote.code.empty()) continue;
        quotes_.push_back(std::move(quote));
    }
    // A first book, so every record has levels before the first trade.
    for (MarketQuote& q : quotes_)
        SetBook(q, [](bool bid, int k) { return bid ? 10 + 3 * k : 12 + 2 * k; });
}

const MarketQuote* Market::Find(const std::string& code) const {
    for (const MarketQuote& q : quotes_)
        if (q.code == code) return &q;
    return nullptr;
}

int64_t Market::TimeOfDayMs(int64_t marketMs) const {
    return ((options_.dayStartMs + marketMs) % kDayMs + kDayMs) % kDayMs;
}

int64_t Market::Uniform(int64_t from, int64_t to) {
    return std::uniform_int_distribution<int64_t>(from, to)(random_);
}

std::vector<std::size_t> Market::Advance(std::chrono::milliseconds elapsed) {
    std::vector<std::size_t> updated;
    const int64_t start = nowMs_;
    const int64_t span = std::max<int64_t>(0, elapsed.count());
    if (quotes_.empty() || span == 0) {
        nowMs_ = start + span;
        return updated;
    }
    pending_ +=
        options_.rate * static_cast<double>(quotes_.size()) * static_cast<double>(span) / 1000.0;
    const auto count = static_cast<std::size_t>(pending_);
    pending_ -= static_cast<double>(count);
    updated.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        // Updates spread over the step, so their times rise through it.
        nowMs_ = start + span * static_cast<int64_t>(i + 1) / static_cast<int64_t>(count);
        const auto index =
            static_cast<std::size_t>(Uniform(0, static_cast<int64_t>(quotes_.size()) - 1));
        Update(index);
        updated.push_back(index);
    }
    nowMs_ = start + span;
    return updated;
}

void Market::Update(std::size_t index) {
    if (index >= quotes_.size()) return;
    MarketQuote& q = quotes_[index];
    q.last = std::clamp(q.last + Uniform(-2, 2), q.lower, q.upper);
    q.high = std::max(q.high, q.last);
    q.low = std::min(q.low, q.last);
    const int64_t traded = Uniform(1, 20);
    q.volume = AddSaturated(q.volume, traded);
    q.turnover += static_cast<double>(traded) * q.Price(q.last) * q.multiplier;
    q.openInterest = AddSaturated(q.openInterest, Uniform(0, 4));
    SetBook(q, [this](bool, int) { return static_cast<int32_t>(Uniform(1, 60)); });
    q.updateMs = nowMs_;
}

}  // namespace testserver
