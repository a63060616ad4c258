// The quote board's rows: copies of contract rows for one page of the board, their derived
// columns, and the refresh that compares them with the contract tables and reports what changed.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "record/FixRecord.h"
#include "tradedata/ContractLookup.h"

namespace market {

// The board's contract-row layout: the shown columns first, then the hidden ones.
extern const tagFIXHEADERINFO kBoardRowLayout[];

// Board FLAGS (644) bits of the board's own rows and of the contract tables.
inline constexpr int32_t kRowVolumeSeen = 0x4;      // the row saw its first volume change
inline constexpr int32_t kContractVisible = 0x100;  // shown on the board
inline constexpr int32_t kContractHeld = 0x200;     // the current account holds it
inline constexpr int32_t kContractOnCard = 0x800;   // on a trading card

// How a changed cell is shown.
enum class CellChangeKind : uint8_t {
    kPrice,   // last, bid or ask price: flashed in "hyhq_bd_mmpjg"
    kVolume,  // bid or ask volume: "hyhq_bd_mmpsl"
    kOther,   // any other compared value: "hyhq_bd_other"
    kRedraw,  // a derived cell: drawn again without a flash
    kRow,     // the whole row drawn again (decimals, trend image, blanked row)
};

struct CellChange {
    int row;         // row of the board's table
    uint32_t field;  // field tag; 0 for kRow
    CellChangeKind kind;
};

// The price a change is measured from: yesterday's settlement, else the middle of the limits.
double ReferencePrice(double settlement, double upperLimit, double lowerLimit);

class QuoteBoardRows {
public:
    QuoteBoardRows();
    QuoteBoardRows(const QuoteBoardRows&) = delete;
    QuoteBoardRows& operator=(const QuoteBoardRows&) = delete;

    CFixRecord& Table() { return table_; }
    int Count() { return table_.GetCount(); }
    void Clear();

    // ---- page builds (each clears the rows first) ----
    // The futures of row `exchangeRow` of the exchange table; codes ending in "efp" are left out.
    void BuildExchange(int exchangeRow);
    // Favourites list 0-4: with includePosition on list 0 first the held futures, then the held
    // options; then the codes of the list, each contract once.
    void BuildFavourites(int list, bool includePosition);
    // The futures of the products quoted in a foreign currency, each with its conversion rate
    // to yuan in 1787.
    void BuildForeignCurrency();

    // Appends a copy of the contract's row with its derived columns; the row, or -1 when the
    // reference names no row.
    int Append(tradedata::RowRef ref);
    // Board rows showing the contract (a list may name one contract once; a vanished or
    // unknown reference has none).
    const std::vector<int>* RowsOf(tradedata::RowRef ref) const;

    // ---- refresh ----
    // Compares the rows of the contracts named with the contract tables, copies what changed
    // and appends the cells to show again. Each contract table is read under its shared lock.
    void Refresh(const std::vector<tradedata::RowRef>& changed, std::vector<CellChange>& out);
    // Every row.
    void RefreshAll(std::vector<CellChange>& out);

    // The settings section of favourites list n ("HYHQXS", then "HYHQXS1" to "HYHQXS4").
    static std::string FavouritesSection(int list);

private:
    void RefreshRow(int row, std::vector<CellChange>& out);
    void RefreshRefs(const std::vector<tradedata::RowRef>& refs, std::vector<CellChange>& out);
    // A contract gone from its table: the row keeps no value of it.
    void BlankRow(int row, std::vector<CellChange>& out);
    void SetDerived(int row);
    void Index(int row, tradedata::RowRef ref);

    CFixRecord table_;
    std::unordered_map<tradedata::RowRef, std::vector<int>> rowsOf_;
};

}  // namespace market
