// The order panel's window-free rules: exchange attributes, mode boxes, the menu text.
#include "orderentry/OrderPanelRules.h"

#include <array>

namespace orderentry {

namespace {

enum class OptionFok { kAlways, kOptionsOnly };

// The exchanges that take FAK at all; the others offer no attribute.
struct ExchangeAttributes {
    std::string_view exchange;
    OptionFok fokFor;
    bool minimumQuantity;
    // "ZJ": a market price withdraws FAK and FOK, and the minimum quantity goes with FAK.
    bool marketRules;
};

constexpr std::array<ExchangeAttributes, 5> kExchangeAttributes{{
    {"ZJ", OptionFok::kAlways, false, true},
    {"SQ", OptionFok::kAlways, true, false},
    {"SN", OptionFok::kAlways, true, false},
    {"ZZ", OptionFok::kOptionsOnly, false, false},
    {"DL", OptionFok::kAlways, false, false},
}};

}  // namespace

AttributeOffer OfferedAttributes(std::string_view exchange, int32_t contractKind, bool marketPrice,
                                 int32_t attribute) {
    for (const ExchangeAttributes& e : kExchangeAttributes) {
        if (e.exchange != exchange) continue;
        AttributeOffer offer;
        offer.fak = true;
        offer.fok = e.fokFor == OptionFok::kAlways || contractKind == tradedata::kOptionKind;
        offer.minimumQuantity = e.minimumQuantity;
        if (e.marketRules) {
            if (marketPrice) {
                offer.fak = offer.fok = false;
                offer.extendedPriceType = true;
            }
            offer.minimumQuantity = attribute == kAttributeFak;
        }
        return offer;
    }
    return {};
}

bool AllowsStopOrConditional(tradedata::RowRef contract, int32_t openClose) {
    if (contract >= 0 && (contract & (tradedata::kCombinationRef | tradedata::kOptionRef)))
        return false;
    return openClose != 6 && openClose != 7;
}

PanelModes SetModeBox(PanelModes m, ModeBox box, bool on, bool stopAllowed) {
    switch (box) {
        case ModeBox::kConditional:
            m.conditional = on && stopAllowed;
            if (on) m.stop = m.quick = m.closeThenOpen = m.fak = m.fok = false;
            break;
        case ModeBox::kStop:
            m.stop = on && stopAllowed;
            if (on) m.conditional = m.quick = m.closeThenOpen = m.fak = m.fok = false;
            break;
        case ModeBox::kQuick:
            m.quick = on;
            if (on) m.stop = m.conditional = false;
            break;
        case ModeBox::kCloseThenOpen:
            m.closeThenOpen = on;
            if (on) m.stop = m.conditional = false;
            break;
        case ModeBox::kFak:
            m.fak = on;
            if (on) m.fok = m.stop = m.conditional = false;
            break;
        case ModeBox::kFok:
            m.fok = on;
            if (on) m.fak = m.stop = m.conditional = false;
            break;
    }
    return m;
}

int32_t AttributeOf(const PanelModes& modes) {
    if (modes.fak) return kAttributeFak;
    if (modes.fok) return kAttributeFok;
    return kAttributeNone;
}

std::string WithdrawBeforeOrderText(bool sameDirection, bool reverseDirection, bool samePrice) {
    std::string text = "委托前撤消合约";
    const bool oneDirection = sameDirection != reverseDirection;
    if (oneDirection) text += sameDirection ? "同方向" : "反方向";
    if (samePrice) {
        if (oneDirection) text += "、";
        text += "同价位";
    } else if (sameDirection && reverseDirection) {
        text += "全部";
    }
    return text + "的委托";
}

}  // namespace orderentry
