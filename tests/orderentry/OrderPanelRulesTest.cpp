// The order panel's rules as tables: the attributes each exchange offers, the mode boxes that
// exclude one another, and the cancel-before-order menu text.
#include "orderentry/OrderPanelRules.h"

#include <gtest/gtest.h>

namespace orderentry {
namespace {

TEST(OrderPanelRulesTest, AttributesByExchange) {
    struct Case {
        const char* exchange;
        int32_t kind;
        bool market;
        int32_t attribute;
        AttributeOffer offer;  // fak, fok, minimum quantity, extended price type
    };
    const Case cases[] = {
        {"SQ", 0, false, 0, {true, true, true, false}},
        {"SN", 1, false, 2, {true, true, true, false}},
        {"DL", 0, false, 1, {true, true, false, false}},
        {"ZZ", 0, false, 0, {true, false, false, false}},  // FOK for options only
        {"ZZ", 1, false, 0, {true, true, false, false}},
        {"ZJ", 0, false, 0, {true, true, false, false}},
        {"ZJ", 0, false, 1, {true, true, true, false}},  // minimum quantity follows FAK
        {"ZJ", 0, false, 2, {true, true, false, false}},
        {"ZJ", 0, true, 1, {false, false, true, true}},  // a market price withdraws both
        {"SQ", 0, true, 0, {true, true, true, false}},   // only on ZJ
        {"XX", 0, false, 1, {false, false, false, false}},
        {"", 1, false, 0, {false, false, false, false}},
        {"sq", 0, false, 0, {false, false, false, false}},  // codes as the table holds them
    };
    for (const Case& c : cases) {
        const AttributeOffer got = OfferedAttributes(c.exchange, c.kind, c.market, c.attribute);
        EXPECT_EQ(got, c.offer) << c.exchange << " kind " << c.kind << " market " << c.market
                                << " attribute " << c.attribute << ": " << got.fak << got.fok
                                << got.minimumQuantity << got.extendedPriceType;
    }
}

TEST(OrderPanelRulesTest, ModeBoxesExcludeOneAnother) {
    const PanelModes all{true, true, true, true, true, true};
    const PanelModes none{};
    struct Case {
        const char* what;
        PanelModes before;
        ModeBox box;
        bool on;
        bool allowed;
        PanelModes after;  // stop, conditional, quick, close-then-open, FAK, FOK
    };
    const Case cases[] = {
        {"conditional clears the rest",
         all,
         ModeBox::kConditional,
         true,
         true,
         {false, true, false, false, false, false}},
        {"conditional on a combination stays off",
         all,
         ModeBox::kConditional,
         true,
         false,
         {false, false, false, false, false, false}},
        {"stop clears the rest",
         all,
         ModeBox::kStop,
         true,
         true,
         {true, false, false, false, false, false}},
        {"quick clears stop and conditional",
         all,
         ModeBox::kQuick,
         true,
         true,
         {false, false, true, true, true, true}},
        {"close-then-open likewise",
         all,
         ModeBox::kCloseThenOpen,
         true,
         true,
         {false, false, true, true, true, true}},
        {"FOK clears FAK",
         {false, false, false, false, true, false},
         ModeBox::kFok,
         true,
         true,
         {false, false, false, false, false, true}},
        {"FAK clears FOK, stop, conditional",
         all,
         ModeBox::kFak,
         true,
         true,
         {false, false, true, true, true, false}},
        {"turning off clears only itself",
         all,
         ModeBox::kQuick,
         false,
         true,
         {true, true, false, true, true, true}},
        {"stop off", none, ModeBox::kStop, false, true, none},
    };
    for (const Case& c : cases) {
        const PanelModes got = SetModeBox(c.before, c.box, c.on, c.allowed);
        EXPECT_EQ(got, c.after) << c.what;
    }
    EXPECT_EQ(AttributeOf({false, false, false, false, true, false}), kAttributeFak);
    EXPECT_EQ(AttributeOf({false, false, false, false, false, true}), kAttributeFok);
    EXPECT_EQ(AttributeOf(none), kAttributeNone);
}

TEST(OrderPanelRulesTest, StopAndConditionalAreForFuturesOutsideExercise) {
    using tradedata::kCombinationRef;
    using tradedata::kOptionRef;
    struct Case {
        tradedata::RowRef ref;
        int32_t openClose;
        bool allowed;
    };
    const Case cases[] = {{3, 1, true},
                          {3, 2, true},
                          {3, 6, false},
                          {3, 7, false},
                          {kCombinationRef | 3, 1, false},
                          {kOptionRef | 3, 1, false},
                          {-1, 1, true}};
    for (const Case& c : cases)
        EXPECT_EQ(AllowsStopOrConditional(c.ref, c.openClose), c.allowed)
            << c.ref << " " << c.openClose;
}

TEST(OrderPanelRulesTest, CancelBeforeOrderMenuText) {
    struct Case {
        bool same, reverse, price;
        const char* text;
    };
    const Case cases[] = {
        {false, true, true, "委托前撤消合约反方向、同价位的委托"},
        {true, true, false, "委托前撤消合约全部的委托"},
        {true, false, false, "委托前撤消合约同方向的委托"},
        {false, false, true, "委托前撤消合约同价位的委托"},
        {true, true, true, "委托前撤消合约同价位的委托"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WithdrawBeforeOrderText(c.same, c.reverse, c.price), c.text);
}

}  // namespace
}  // namespace orderentry
