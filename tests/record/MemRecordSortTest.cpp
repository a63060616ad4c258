// Tests of CMemRecord's sorting, binary search, keyed insertion, row location and grouping,
// and a randomized run against a plain vector model.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "platform/core/Encoding.h"
#include "record/MemRecord.h"

namespace {

// Rows of (K text, N integer, P real, TAG integer), TAG numbering the rows as added.
class SortTable : public ::testing::Test {
protected:
    void SetUp() override { table.Create("K[C8],N[I],P[R10.2],TAG[I]"); }
    void Add(const char* k, int32_t n, double p) {
        table.Append(nullptr, true);
        table.Set(0, k);
        table.Set(1, n);
        table.Set(2, p);
        table.Set(3, int32_t{table.GetCount() - 1});
    }
    std::vector<int32_t> Column(int field) {
        std::vector<int32_t> values;
        for (int r = 0; r < table.GetCount(); ++r) values.push_back(table.GetLong(field, r));
        return values;
    }
    std::vector<std::string> Texts(int field) {
        std::vector<std::string> values;
        for (int r = 0; r < table.GetCount(); ++r) values.push_back(table.GetItemText(field, r));
        return values;
    }
    CMemRecord table;
};

TEST_F(SortTable, StableInBothDirections) {
    Add("a", 3, 0);
    Add("b", 1, 0);
    Add("c", 2, 0);
    Add("d", 1, 0);
    Add("e", 3, 0);
    table.Sort(1, false);
    EXPECT_EQ(Column(1), (std::vector<int32_t>{3, 3, 2, 1, 1}));
    EXPECT_EQ(Column(3), (std::vector<int32_t>{0, 4, 2, 1, 3}));
    EXPECT_EQ(table.GetKeyIndex(), 1);
    EXPECT_EQ(table.GetSortDirection(), -1);
    table.Sort("N", true);
    EXPECT_EQ(Column(3), (std::vector<int32_t>{1, 3, 2, 0, 4}));
}

TEST_F(SortTable, RangeAndMultipleKeys) {
    Add("b", 2, 0);
    Add("a", 2, 0);
    Add("b", 1, 0);
    Add("a", 1, 0);
    table.Sort(0, true, 1, 2);  // rows 1..2 only
    EXPECT_EQ(Column(3), (std::vector<int32_t>{0, 1, 2, 3}));
    table.Sort(0, true, 2, 1);  // from > to sorts nothing
    EXPECT_EQ(Column(3), (std::vector<int32_t>{0, 1, 2, 3}));
    const int keys[] = {0, 99, 1};  // the invalid key is skipped
    table.Sort(keys, 3, true);
    EXPECT_EQ(Texts(0), (std::vector<std::string>{"a", "a", "b", "b"}));
    EXPECT_EQ(Column(1), (std::vector<int32_t>{1, 2, 1, 2}));
    EXPECT_EQ(table.GetKeyIndex(), 0);
    const int bad[] = {99};
    table.Sort(bad, 1, false);
    EXPECT_EQ(table.GetSortDirection(), 1);  // no valid key: nothing changes
}

TEST_F(SortTable, OneRowSetsKeyAndCloseRealsKeepTheirOrder) {
    table.Sort(1, true);
    EXPECT_EQ(table.GetKeyIndex(), -1);  // no rows: nothing happens
    Add("a", 0, 1.0);
    table.Sort(2, false);
    EXPECT_EQ(table.GetKeyIndex(), 2);
    EXPECT_EQ(table.GetSortDirection(), -1);
    Add("b", 0, 1.00000001);
    Add("c", 0, 0.5);
    table.Sort(2, true);
    EXPECT_EQ(Column(3), (std::vector<int32_t>{2, 0, 1}));
}

TEST_F(SortTable, IntegersAtTheExtremesOrderCorrectly) {
    // A 32-bit difference of these overflows and would order them backwards.
    Add("a", 2000000000, 0);
    Add("b", -2000000000, 0);
    Add("c", std::numeric_limits<int32_t>::max(), 0);
    Add("d", std::numeric_limits<int32_t>::min(), 0);
    Add("e", 0, 0);
    table.Sort(1, true);
    EXPECT_EQ(Column(1), (std::vector<int32_t>{std::numeric_limits<int32_t>::min(), -2000000000, 0,
                                               2000000000, std::numeric_limits<int32_t>::max()}));
    EXPECT_EQ(table.QuickFind("-2000000000"), 1);
    EXPECT_EQ(table.QuickFind("2000000000"), 3);
    EXPECT_EQ(table.Find(1, int32_t{std::numeric_limits<int32_t>::max()}), 4);
    EXPECT_EQ(table.QuickFindLower("1"), 3);
}

TEST_F(SortTable, TextSortsInGbkOrder) {
    // In UTF-8 byte order 中 (E4 B8 AD) comes before 啊 (E5 95 8A); in GBK 啊 (B0A1) comes
    // before 中 (D6D0). ASCII comes before both.
    Add("中", 0, 0);
    Add("啊", 0, 0);
    Add("z", 0, 0);
    Add("啊a", 0, 0);
    table.Sort(0, true);
    EXPECT_EQ(Texts(0), (std::vector<std::string>{"z", "啊", "啊a", "中"}));
    EXPECT_EQ(table.QuickFind("中"), 3);
    EXPECT_EQ(table.QuickFindLower("啊b"), 3);
}

TEST_F(SortTable, QuickFindAndQuickFindLower) {
    for (const char* k : {"C", "B", "A", "B"}) Add(k, 0, 0);
    EXPECT_EQ(table.QuickFind("A"), -1);  // not sorted yet
    table.Sort(0, true);
    const struct {
        const char* text;
        int find;
        int lower;
    } cases[] = {{"A", 0, 0}, {"B", 1, 1}, {"C", 3, 3}, {"D", -1, -1}, {"A0", -1, 1}, {"", -1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(table.QuickFind(c.text), c.find);
        EXPECT_EQ(table.QuickFindLower(c.text), c.lower);
    }
    EXPECT_EQ(table.Find(0, "C"), 3);
    EXPECT_EQ(table.Find(1, "0"), 0);  // not the key field: linear
    table.Sort(0, false);              // C, B, B, A
    EXPECT_EQ(table.QuickFind("B"), 1);
    EXPECT_EQ(table.QuickFindLower("A0"), 3);
    EXPECT_EQ(table.QuickFindLower("0"), -1);
}

TEST_F(SortTable, InsertKeyKeepsTheOrder) {
    Add("m", 5, 0);
    Add("c", 0, 0);
    Add("x", 0, 0);
    EXPECT_EQ(table.InsertKey(0, "d", true), 1);  // sorts first: c, d, m, x
    EXPECT_EQ(table.GetKeyIndex(), 0);
    EXPECT_EQ(Texts(0), (std::vector<std::string>{"c", "d", "m", "x"}));
    table.Go(0);
    EXPECT_EQ(table.InsertKey(0, "m", true), 2);  // existing row reused
    EXPECT_EQ(table.GetCount(), 4);
    EXPECT_EQ(table.InsertKey(0, "m", false), 2);  // a second m before the first
    EXPECT_EQ(table.GetCount(), 5);
    EXPECT_EQ(table.GetLong(1, 2), 0);
    EXPECT_EQ(table.GetLong(1, 3), 5);             // the old m row moved down
    EXPECT_EQ(table.InsertKey(0, "zz", true), 5);  // larger than all: appended
    EXPECT_EQ(table.GetNo(), 0);
    EXPECT_EQ(table.InsertKey(0, "toolongkey", true), 4);  // stored cut to 8 bytes
    EXPECT_EQ(table.InsertKey(0, "toolongkey", true), 4);
    EXPECT_EQ(table.InsertKey(0, "toolongk", true), 4);
    EXPECT_EQ(table.GetCount(), 7);
    EXPECT_EQ(table.InsertKey(9, "a", true), -1);
    EXPECT_EQ(table.InsertKey(1, int32_t{-4}, true), 0);  // by another field: sorted by it
    EXPECT_EQ(table.GetKeyIndex(), 1);
    EXPECT_EQ(table.InsertKey(1, int32_t{-4}, true), 0);
}

TEST_F(SortTable, RecordLocateNeedsTheSameLayout) {
    Add("x", 1, 1.5);
    Add("y", 2, 2.5);
    CMemRecord other;
    other.CreateFrom(&table);
    other.Append(&table);
    other.Set(1, int32_t{7}, 0);
    const int byKey[] = {0};
    const int byKeyAndN[] = {0, 1};
    EXPECT_EQ(table.RecordLocate(&other, 1, byKey, 0), 0);
    EXPECT_EQ(table.RecordLocate(&other, 2, byKeyAndN, 0), -1);
    EXPECT_EQ(table.RecordLocate(&other, 2, byKeyAndN, 1), 1);
    EXPECT_EQ(table.RecordLocate(&other, 0, nullptr, 1), 0);  // no key: the first row
    EXPECT_EQ(table.RecordLocate(&other, 1, byKey, 5), -1);

    CMemRecord narrow;
    narrow.Create("K[C4],N[I]");
    narrow.Append(nullptr, true);
    EXPECT_EQ(table.RecordLocate(&narrow, 1, byKey, 0), -1);
}

TEST(MemRecordGroupTest, SumsByKeyInOrderOfFirstAppearance) {
    CMemRecord source;
    source.Create("K[C4],N[I],P[R10.2]");
    const struct {
        const char* k;
        int32_t n;
        double p;
    } rows[] = {{"X", 2, 1.5}, {"Y", 1, 1.0}, {"X", 3, 2.0}};
    for (const auto& r : rows) {
        source.Append(nullptr, true);
        source.Set(0, r.k);
        source.Set(1, r.n);
        source.Set(2, r.p);
    }
    CMemRecord grouped;
    grouped.GroupFrom(&source, 0);
    ASSERT_EQ(grouped.GetCount(), 2);
    EXPECT_EQ(grouped.GetItemText(0, 0), "X");
    EXPECT_EQ(grouped.GetLong(1, 0), 5);
    EXPECT_DOUBLE_EQ(grouped.GetDouble(2, 0), 3.5);
    EXPECT_EQ(grouped.GetItemText(0, 1), "Y");
    EXPECT_EQ(grouped.GetLong(1, 1), 1);

    grouped.GroupFrom(&source, 0, nullptr);  // no key: one row of sums
    ASSERT_EQ(grouped.GetCount(), 1);
    EXPECT_EQ(grouped.GetItemText(0, 0), "X");
    EXPECT_EQ(grouped.GetLong(1, 0), 6);
    EXPECT_DOUBLE_EQ(grouped.GetDouble(2, 0), 4.5);

    source.GroupFrom(&source, 0);  // into itself: nothing happens
    EXPECT_EQ(source.GetCount(), 3);
}

TEST(MemRecordLongTextSortTest, LongTextsAndMultipleKeysOrderLikeGbk) {
    // Texts longer than any shortcut a sort may take on their first bytes, with double-byte
    // characters falling on every byte position.
    std::mt19937 rng(7);
    const char* pieces[] = {"a", "b", "中", "啊", "7", "铜", "\xE2\x82\xAC", "Zz"};
    // Shared beginnings of 13 to 16 GBK bytes put the differences around byte 16.
    const char* beginnings[] = {"",
                                "abcdefghijklm",
                                "abcdefghijklmn",
                                "abcdefghijklmno",
                                "中文中文中文中",
                                "中文中文中文中a",
                                "a中文中文中文中"};
    CMemRecord table;
    table.Create("K[C32],N[I],TAG[I]");
    for (int i = 0; i < 3000; ++i) {
        std::string text = beginnings[rng() % std::size(beginnings)];
        const int n = static_cast<int>(rng() % 8);
        for (int k = 0; k < n; ++k) text += pieces[rng() % std::size(pieces)];
        table.Append(nullptr, true);
        table.Set(0, text.c_str());
        table.Set(1, static_cast<int32_t>(rng() % 3) - 1);
        table.Set(2, int32_t{i});
    }
    const int keys[] = {0, 1};
    for (const bool ascending : {true, false}) {
        table.Sort(keys, 2, ascending);
        for (int r = 1; r < table.GetCount(); ++r) {
            int c = platform::CompareGbkOrder(table.GetItemText(0, r - 1), table.GetItemText(0, r));
            if (c == 0)
                c = (table.GetLong(1, r - 1) > table.GetLong(1, r)) -
                    (table.GetLong(1, r - 1) < table.GetLong(1, r));
            if (!ascending) c = -c;
            ASSERT_LE(c, 0) << "row " << r;
            if (c == 0) {
                ASSERT_LT(table.GetLong(2, r - 1), table.GetLong(2, r)) << "row " << r;
            }
        }
        // Stability is kept relative to the previous order, so restore it for the next pass.
        table.Sort(2, true);
    }
    const int byNumberThenText[] = {1, 0};
    table.Sort(byNumberThenText, 2, true);
    for (int r = 1; r < table.GetCount(); ++r) {
        const int32_t a = table.GetLong(1, r - 1), b = table.GetLong(1, r);
        ASSERT_LE(a, b);
        if (a == b) {
            ASSERT_LE(
                platform::CompareGbkOrder(table.GetItemText(0, r - 1), table.GetItemText(0, r)), 0);
        }
    }
}

// A plain model of the table: rows of (text, integer, real) in display order.
struct ModelRow {
    std::string k;
    int32_t n;
    double p;
};

int CompareModel(const ModelRow& a, const ModelRow& b, int field) {
    if (field == 0) return platform::CompareGbkOrder(a.k, b.k);
    if (field == 1) return (a.n > b.n) - (a.n < b.n);
    return (a.p > b.p) - (a.p < b.p);
}

TEST(MemRecordModelTest, RandomOperationsMatchAVectorModel) {
    std::mt19937 rng(20260101);
    const char* pieces[] = {"a", "b", "Z", "中", "啊", "铜", "9", "cu", "沪"};
    auto randomText = [&] {
        std::string text;
        const int n = static_cast<int>(rng() % 4);
        for (int i = 0; i < n; ++i) text += pieces[rng() % std::size(pieces)];
        return platform::CutToGbkBudget(text, 6) == text.size() ? text : std::string("x");
    };
    auto randomInt = [&] {
        const int32_t extremes[] = {std::numeric_limits<int32_t>::min(),
                                    std::numeric_limits<int32_t>::max(), -2000000000, 2000000000};
        return rng() % 5 == 0 ? extremes[rng() % 4] : static_cast<int32_t>(rng() % 21) - 10;
    };
    auto randomReal = [&] { return (static_cast<int>(rng() % 41) - 20) * 0.5; };

    CMemRecord table;
    table.Create("K[C6],N[I],P[R8.1]");
    std::vector<ModelRow> model;
    for (int step = 0; step < 4000; ++step) {
        const int count = static_cast<int>(model.size());
        const unsigned op = rng() % 100;
        if (op < 30 || count == 0) {
            ModelRow row{randomText(), randomInt(), randomReal()};
            int at = count;
            if (op % 2 == 0 && count > 0) {
                at = static_cast<int>(rng() % static_cast<unsigned>(count));
                ASSERT_EQ(table.Insert(nullptr, at), at);
            } else {
                table.Append(nullptr, true);
            }
            table.Set(0, row.k.c_str(), at);
            table.Set(1, row.n, at);
            table.Set(2, row.p, at);
            model.insert(model.begin() + at, row);
        } else if (op < 45) {
            const int at = static_cast<int>(rng() % static_cast<unsigned>(count));
            table.Delete(at);
            model.erase(model.begin() + at);
        } else if (op < 65) {
            const int at = static_cast<int>(rng() % static_cast<unsigned>(count));
            const ModelRow row{randomText(), randomInt(), randomReal()};
            table.Set(0, row.k.c_str(), at);
            table.Set(1, row.n, at);
            table.Set(2, row.p, at);
            model[static_cast<std::size_t>(at)] = row;
        } else if (op < 75) {
            const int a = static_cast<int>(rng() % static_cast<unsigned>(count));
            const int b = static_cast<int>(rng() % static_cast<unsigned>(count));
            table.Swap(a, b);
            std::swap(model[static_cast<std::size_t>(a)], model[static_cast<std::size_t>(b)]);
        } else if (op < 90) {
            const int field = static_cast<int>(rng() % 3);
            const bool ascending = rng() % 2 == 0;
            table.Sort(field, ascending);
            std::stable_sort(model.begin(), model.end(), [&](const ModelRow& a, const ModelRow& b) {
                const int c = CompareModel(a, b, field);
                return ascending ? c < 0 : c > 0;
            });
            // Every value of the key is found at its first row.
            const ModelRow& probe = model[rng() % model.size()];
            const std::string text = table.GetItemText(field, static_cast<int>(&probe - &model[0]));
            const int found = table.QuickFind(text.c_str());
            ASSERT_GE(found, 0);
            EXPECT_EQ(CompareModel(model[static_cast<std::size_t>(found)], probe, field), 0);
            if (found > 0) {
                EXPECT_NE(CompareModel(model[static_cast<std::size_t>(found) - 1], probe, field),
                          0);
            }
        } else if (op < 97) {
            table.Append(&table);
            const std::vector<ModelRow> copy = model;
            model.insert(model.end(), copy.begin(), copy.end());
            if (model.size() > 300) {
                table.Zap();
                model.clear();
            }
        } else {
            CMemRecord copy;
            copy = table;
            table.Zap();
            table.Append(&copy);
        }
        ASSERT_EQ(table.GetCount(), static_cast<int>(model.size())) << "step " << step;
        for (int r = 0; r < table.GetCount(); ++r) {
            const ModelRow& m = model[static_cast<std::size_t>(r)];
            ASSERT_EQ(table.GetItemText(0, r), m.k) << "step " << step << " row " << r;
            ASSERT_EQ(table.GetLong(1, r), m.n) << "step " << step << " row " << r;
            ASSERT_EQ(table.GetDouble(2, r), m.p) << "step " << step << " row " << r;
        }
    }
}

}  // namespace
