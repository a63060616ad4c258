// The order panel's window-free rules: which order attributes (FAK, FOK, minimum quantity,
// extended price types) an exchange offers, how the mode boxes exclude one another, and the
// text of the cancel-before-order menu entry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tradedata/ContractLookup.h"

namespace orderentry {

// The attribute ZLSX (section "QHWT") stores: 0 none, 1 FAK, 2 FOK.
inline constexpr const char* kAttributeKey = "ZLSX";
inline constexpr int32_t kAttributeNone = 0;
inline constexpr int32_t kAttributeFak = 1;
inline constexpr int32_t kAttributeFok = 2;

struct AttributeOffer {
    bool fak = false;
    bool fok = false;
    bool minimumQuantity = false;
    // The extended price type is offered as its own setting says (a market price on "ZJ").
    bool extendedPriceType = false;
    bool operator==(const AttributeOffer&) const = default;
};

// What the contract's exchange offers for a contract of this kind (0 future, 1 option, ...),
// with a market price or not, while the attribute is the one given.
AttributeOffer OfferedAttributes(std::string_view exchange, int32_t contractKind, bool marketPrice,
                                 int32_t attribute);

// The panel's mode boxes.
struct PanelModes {
    bool stop = false;
    bool conditional = false;
    bool quick = false;
    bool closeThenOpen = false;
    bool fak = false;
    bool fok = false;
    bool operator==(const PanelModes&) const = default;
};
enum class ModeBox { kStop, kConditional, kQuick, kCloseThenOpen, kFak, kFok };

// Stop and conditional orders are for futures only (no combination, no option) and not for
// the exercise kinds 6 and 7.
bool AllowsStopOrConditional(tradedata::RowRef contract, int32_t openClose);
// The modes after the user set one box on or off: turning one on clears those it excludes;
// stop and conditional stay off where the contract does not allow them. (Turning stop on also
// sets the open/close code to 1: the panel's part.)
PanelModes SetModeBox(PanelModes modes, ModeBox box, bool on, bool stopAllowed);
// ZLSX for the modes.
int32_t AttributeOf(const PanelModes& modes);

// The cancel-before-order menu text for the three "wbo_" settings.
std::string WithdrawBeforeOrderText(bool sameDirection, bool reverseDirection, bool samePrice);

}  // namespace orderentry
