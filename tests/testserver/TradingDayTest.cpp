// Tests of the built-in trading day: its data holds together (ticks, limits, books, legs,
// underlyings) and its answers honour the account, link, category and code asked for.
#include "testserver/TradingDay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "RawClient.h"
#include "platform/core/Numbers.h"
#include "testserver/TestServer.h"

namespace testserver {
namespace {

ReceivedRequest Req(int32_t function, Row fields = {}) {
    ReceivedRequest request;
    request.function = function;
    request.fields = std::move(fields);
    return request;
}

double Num(const Row& row, int32_t tag) { return platform::Atof(FieldOf(row, tag)); }

bool OnTick(double price, double tick) {
    const double steps = price / tick;
    return std::fabs(steps - std::round(steps)) < 1e-6;
}

class TradingDayTest : public ::testing::Test {
protected:
    // The rows of the answer; every one must carry 507.
    std::vector<Row> Ask(int32_t function, Row fields = {}) {
        std::optional<Answer> answer = day.AnswerFor(Req(function, std::move(fields)));
        EXPECT_TRUE(answer.has_value()) << function;
        if (!answer) return {};
        for (const Row& row : answer->rows) EXPECT_FALSE(FieldOf(row, 507).empty()) << function;
        return answer->rows;
    }
    TradingDay day = SampleTradingDay();
};

TEST_F(TradingDayTest, FuturesHaveTicksLimitsAndABookInsideThem) {
    std::set<std::string> exchanges;
    for (const Row& e : day.exchanges) exchanges.insert(FieldOf(e, 599));
    EXPECT_EQ(exchanges.size(), 4u);
    EXPECT_GE(day.futures.size(), 25u);
    std::set<std::string> codes;
    for (const Row& f : day.futures) {
        const std::string code = FieldOf(f, 719);
        SCOPED_TRACE(code);
        EXPECT_TRUE(codes.insert(code).second);
        EXPECT_EQ(exchanges.count(FieldOf(f, 599)), 1u);
        const double tick = Num(f, 594);
        ASSERT_GT(tick, 0);
        for (int32_t tag : {706, 703, 813, 729, 842, 850, 844, 852, 1357, 1359})
            EXPECT_TRUE(OnTick(Num(f, tag), tick)) << tag;
        EXPECT_LT(Num(f, 703), Num(f, 813));
        EXPECT_GT(Num(f, 706), Num(f, 813));
        EXPECT_LT(Num(f, 842), Num(f, 729));
        EXPECT_GT(Num(f, 850), Num(f, 729));
        EXPECT_GE(Num(f, 1357), Num(f, 703));
        EXPECT_LE(Num(f, 1359), Num(f, 706));
        const Row* product = nullptr;
        for (const Row& p : day.products)
            if (FieldOf(p, 763) == FieldOf(f, 599) + FieldOf(f, 720)) product = &p;
        ASSERT_NE(product, nullptr);
        EXPECT_DOUBLE_EQ(Num(*product, 1753), tick);
    }
    // Codes as the exchanges write them.
    EXPECT_EQ(codes.count("cu2701"), 1u);
    EXPECT_EQ(codes.count("SR701"), 1u);
    EXPECT_EQ(codes.count("IF2701"), 1u);
}

TEST_F(TradingDayTest, CombinationsAndOptionsNameKnownContracts) {
    ASSERT_FALSE(day.combinations.empty());
    for (const Row& c : day.combinations) {
        const std::string code = FieldOf(c, 1060);
        SCOPED_TRACE(code);
        EXPECT_EQ(FieldOf(c, 3549), "2");
        // kind, blank, leg 1, "&", leg 2
        const std::string legs = code.substr(code.find(' ') + 1);
        EXPECT_EQ(legs, FieldOf(c, 1392) + "&" + FieldOf(c, 1393));
        EXPECT_NE(FieldOf(c, 1392), FieldOf(c, 1393));
        for (int32_t leg : {1392, 1393}) {
            bool found = false;
            for (const Row& f : day.futures)
                found = found ||
                        (FieldOf(f, 719) == FieldOf(c, leg) && FieldOf(f, 599) == FieldOf(c, 599));
            EXPECT_TRUE(found) << FieldOf(c, leg);
        }
    }
    for (const Row& o : day.options) {
        SCOPED_TRACE(FieldOf(o, 9100));
        const std::string underlying = FieldOf(o, 719);
        bool future = false;
        for (const Row& f : day.futures) future = future || FieldOf(f, 719) == underlying;
        bool index = false;
        for (const Row& p : day.products)
            if (FieldOf(p, 763) == FieldOf(o, 599) + FieldOf(o, 720))
                index = !FieldOf(p, 7125).empty();
        EXPECT_TRUE(future || index);
    }
}

// Every account function: a missing or unknown customer and a wrong password are refused
// with a negative 507 and a text; the right customer gets rows with a 507 of 0 or more.
TEST_F(TradingDayTest, AccountFunctionsRefuseUnknownCustomersAndWrongPasswords) {
    const int32_t functions[] = {kFunctionAccountInfo,  kFunctionTradingCodes,  kFunctionFunds,
                                 kFunctionBankAccounts, kFunctionAccountStatus, kFunctionLinkNumber,
                                 kFunctionLogout};
    struct Case {
        Row fields;
        int32_t code;  // 0: accepted
    };
    const Case cases[] = {
        {{}, -1},
        {{{605, "99999999"}}, -1},
        {{{605, "000010086001"}, {598, "wrong"}, {781, "2"}}, -2},
        {{{605, "000010086001"}, {598, ScrambledPassword("123456")}, {781, "2"}}, 0},
        {{{605, "000010086002"}}, 0},  // the customer number alone is enough
    };
    for (int32_t function : functions) {
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message() << function << " " << FieldOf(c.fields, 605));
            const std::vector<Row> rows = Ask(function, c.fields);
            ASSERT_FALSE(rows.empty());
            if (c.code < 0) {
                ASSERT_EQ(rows.size(), 1u);
                EXPECT_EQ(platform::AtolSat(FieldOf(rows[0], 507)), c.code);
                EXPECT_FALSE(FieldOf(rows[0], 508).empty());
            } else {
                for (const Row& row : rows) EXPECT_GT(platform::AtolSat(FieldOf(row, 507)), 0);
            }
        }
    }
}

TEST_F(TradingDayTest, AnswersAreTheCustomersOwn) {
    const auto codes1 = Ask(kFunctionTradingCodes, {{605, "000010086001"}});
    const auto codes2 = Ask(kFunctionTradingCodes, {{605, "000010086002"}});
    EXPECT_EQ(codes1.size(), 4u);
    ASSERT_EQ(codes2.size(), 2u);
    EXPECT_EQ(FieldOf(codes2[0], 1716), "81005678");
    for (const Row& row : Ask(kFunctionFunds, {{605, "000010086001"}, {739, "1"}}))
        EXPECT_EQ(FieldOf(row, 716), "000010086001");
    const auto info = Ask(kFunctionAccountInfo, {{605, "000010086001"}});
    ASSERT_EQ(info.size(), 1u);
    EXPECT_EQ(FieldOf(info[0], 613), "张三");
    EXPECT_LT(FieldOf(info[0], 1832), FieldOf(info[0], 1831));  // a statement to confirm

    const auto link1 = Ask(kFunctionLinkNumber, {{605, "000010086001"}});
    EXPECT_EQ(FieldOf(link1[0], 710), "0");
    EXPECT_EQ(FieldOf(link1[0], 1837), "12");
    EXPECT_EQ(FieldOf(Ask(kFunctionLinkNumber, {{605, "000010086002"}})[0], 710), "1");
}

TEST_F(TradingDayTest, LinkAnswersFollowTheLinkNumber) {
    EXPECT_EQ(Ask(kFunctionLinkedClients, {{1837, "12"}}).size(), 2u);
    EXPECT_EQ(Ask(kFunctionTradingGroups, {{1837, "12"}}).size(), 2u);
    EXPECT_EQ(Ask(kFunctionGroupMembers, {{1837, "12"}}).size(), 3u);
    for (int32_t function :
         {kFunctionLinkedClients, kFunctionTradingGroups, kFunctionGroupMembers}) {
        const auto rows = Ask(function, {{1837, "13"}});
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_LT(platform::AtolSat(FieldOf(rows[0], 507)), 0);
    }
}

TEST_F(TradingDayTest, DictionariesAnswerTheCategoryAsked) {
    for (int32_t function : {kFunctionDictionary, kFunctionDictCategory}) {
        const auto rows = Ask(function, {{566, "QHKPFX"}, {9020, "1"}});
        ASSERT_EQ(rows.size(), 4u);
        EXPECT_EQ(FieldOf(rows[2], 582), "3");
        EXPECT_EQ(FieldOf(rows[2], 516), "3");
        EXPECT_EQ(FieldOf(rows[2], 642), "平今");
        const auto unknown = Ask(function, {{566, "NOPE"}});
        ASSERT_EQ(unknown.size(), 1u);
        EXPECT_LT(platform::AtolSat(FieldOf(unknown[0], 507)), 0);
    }
}

TEST_F(TradingDayTest, QuotesOfFuturesCombinationsOptionsAndIndexes) {
    const auto future = Ask(kFunctionQuote, {{599, "DL"}, {719, "m2701"}});
    ASSERT_EQ(future.size(), 1u);
    EXPECT_EQ(FieldOf(future[0], 507), "1");
    const auto leg1 = Ask(kFunctionQuote, {{599, "DL"}, {719, "m2705"}});
    const auto spread = Ask(kFunctionQuote, {{599, "DL"}, {719, "SP m2701&m2705"}});
    ASSERT_EQ(spread.size(), 1u);
    // Bought spread: buy the first leg at its ask, sell the second at its bid.
    EXPECT_DOUBLE_EQ(Num(spread[0], 850), Num(future[0], 850) - Num(leg1[0], 842));
    EXPECT_DOUBLE_EQ(Num(spread[0], 706), Num(future[0], 706) - Num(leg1[0], 703));
    EXPECT_FALSE(
        FieldOf(Ask(kFunctionQuote, {{599, "DL"}, {719, "m2705-C-2900"}})[0], 729).empty());
    EXPECT_FALSE(FieldOf(Ask(kFunctionQuote, {{599, "SH"}, {719, "000300"}})[0], 729).empty());
    EXPECT_LT(platform::AtolSat(FieldOf(Ask(kFunctionQuote, {{719, "xx9999"}})[0], 507)), 0);
}

TEST_F(TradingDayTest, OptionAndCombinationListsByMode) {
    EXPECT_EQ(Ask(kFunctionOptions, {{9020, "1"}}).size(), day.options.size());
    EXPECT_EQ(Ask(kFunctionOptions, {{9020, "2"}, {719, "m2705"}}).size(), 4u);
    const auto one = Ask(kFunctionOptions, {{9020, "4"}, {599, "ZJ"}, {9100, "IO2701-P-3900"}});
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(FieldOf(one[0], 1854), "2");
    EXPECT_LT(
        platform::AtolSat(FieldOf(
            Ask(kFunctionOptions, {{9020, "4"}, {599, "DL"}, {9100, "IO2701-P-3900"}})[0], 507)),
        0);
    // Changes since a cache of the trading day: none; since an older one: all.
    EXPECT_TRUE(Ask(kFunctionOptions, {{9020, "3"}, {651, day.date}}).empty());
    EXPECT_TRUE(Ask(kFunctionCombinations, {{9020, "2"}, {651, day.date}}).empty());
    EXPECT_EQ(Ask(kFunctionCombinations, {{9020, "2"}, {651, "20261201"}}).size(),
              day.combinations.size());
    EXPECT_EQ(Ask(kFunctionCombinations, {{9020, "2"}, {651, ""}}).size(), day.combinations.size());
}

TEST_F(TradingDayTest, NoticesAndOtherFunctionsGetNoAnswerFromTheDay) {
    EXPECT_FALSE(day.AnswerFor(Req(kFunctionAccountNotice, {{605, "000010086001"}})).has_value());
    EXPECT_FALSE(day.AnswerFor(Req(303, {{605, "000010086001"}})).has_value());
}

// Through the server: the day answers when enabled, a script still wins, and disabling it
// brings back the plain refusal.
TEST(TradingDayServerTest, EnabledOnTheServerAndOverriddenByScripts) {
    using testserver_test::Items;
    using testserver_test::RawClient;
    using testserver_test::Request;
    TestServer server;
    ASSERT_TRUE(server.Start()) << server.ErrorText();
    RawClient client(server.Port());
    ASSERT_TRUE(client.connected());
    auto first = [&](uint32_t id, int function, const std::string& fields) {
        EXPECT_TRUE(client.Send(Request(id, function, fields)));
        const auto answer = client.ReadAnswer();
        return answer.empty() ? std::vector<std::string>{} : Items(answer[0].body);
    };
    const std::string account = "605=000010086002\x01";
    EXPECT_EQ(first(1, kFunctionTradingCodes, account)[0], "507=-1");

    server.EnableTradingDay();
    const auto codes = first(2, kFunctionTradingCodes, account);
    ASSERT_GE(codes.size(), 3u);
    EXPECT_EQ(codes[0], "507=1");
    EXPECT_EQ(codes[1], "599=SQ");
    EXPECT_EQ(codes[2], "1716=81005678");

    server.Script(kFunctionTradingCodes, {{{507, "1"}, {1716, "scripted"}}});
    EXPECT_EQ(first(3, kFunctionTradingCodes, account)[1], "1716=scripted");
    server.ClearScript(kFunctionTradingCodes);
    server.DisableTradingDay();
    EXPECT_EQ(first(4, kFunctionTradingCodes, account)[0], "507=-1");
    server.Stop();
}

}  // namespace
}  // namespace testserver
