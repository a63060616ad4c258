// Tests of CFixRecord: ownership and binding, layouts from column arrays, access by field
// identity, searches, filters, dictionary look-ups, grouping.
#include "record/FixRecord.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "record/MemRecord.h"

namespace {

constexpr unsigned kKhh = 605, kJys = 599, kWtsl = 684, kPrice = 44, kIndex = 9001;

const tagFIXHEADERINFO kOrders[] = {
    {605, "KHH", "C16", 0},   {599, "JYS", "C4", 0}, {684, "WTSL", "N10", 2},
    {44, "价格", "R12.2", 3}, {0, "", "", 0},
};

class Orders : public ::testing::Test {
protected:
    void SetUp() override {
        view.Create(kOrders);
        const struct {
            const char* khh;
            const char* jys;
            int32_t qty;
            double price;
        } rows[] = {{"1001", "SHFE", 5, 1.5},
                    {"1002", "DCE", 3, 2.25},
                    {"1001", "DCE", 7, 3.0},
                    {"1003", "SHFE", 1, 4.0}};
        for (const auto& r : rows) {
            view.GetMemRecord()->Append(nullptr, true);
            view.Set(kKhh, r.khh);
            view.Set(kJys, r.jys);
            view.Set(kWtsl, r.qty);
            view.Set(kPrice, r.price);
        }
    }
    CFixRecord view;
};

TEST(FixRecordTest, FreshViewCreatesAnOwnedTableOnFirstUse) {
    CFixRecord view;
    EXPECT_FALSE(view.IsCreate());
    EXPECT_EQ(view.GetCount(), 0);
    EXPECT_TRUE(view.IsCreate());
    EXPECT_EQ(view.GetMemRecord()->GetOwnerView(), &view);

    CMemRecord table;
    CFixRecord attached(&table);
    attached.Detach();  // not owned: the table survives
    table.Create("A[I]");
    EXPECT_EQ(table.GetFCount(), 1);
    attached.Attach(&table);
    attached.Attach(&table);
    EXPECT_EQ(attached.GetMemRecord(), &table);
}

TEST(FixRecordTest, CreateFromColumnArrays) {
    CFixRecord view;
    const tagFIXHEADERINFO none[] = {{0, "KHH", "C16", 0}};
    view.Create(none);
    EXPECT_EQ(view.GetFCount(), 0);

    view.Create(kOrders);
    EXPECT_EQ(view.GetFCount(), 4);
    EXPECT_EQ(view.FindIndex(kKhh), 0);
    EXPECT_EQ(view.FindIndex(kJys), 1);
    EXPECT_EQ(view.FindIndex(kWtsl), 2);
    EXPECT_EQ(view.GetIndexID(3), kPrice);
    EXPECT_EQ(view.GetMemRecord()->GetFieldExtendStyle(2), 2u);
    EXPECT_EQ(view.GetMemRecord()->GetDetail(), "KHH[C16],JYS[C4],WTSL[I4],价格[R8.2]");

    // Names that would split or drop an item still give one field per column, and a name
    // filling its whole array is read without a terminator.
    tagFIXHEADERINFO odd[] = {
        {1, "a,b", "C4", 0}, {2, "", "N", 0}, {3, "", "R12.3", 0}, {0, "", "", 0}};
    std::memset(odd[2].name, 'n', sizeof odd[2].name);
    view.Create(odd);
    EXPECT_EQ(view.GetFCount(), 3);
    EXPECT_EQ(view.FindIndex(3u), 2);
    EXPECT_EQ(view.GetMemRecord()->GetFieldType(2), 'R');
}

TEST_F(Orders, TypedAccessByIdentity) {
    EXPECT_EQ(view.Get(kKhh, 1), "1002");
    EXPECT_EQ(view.Get(kWtsl, 2), "7");
    EXPECT_EQ(view.Get(kPrice, 1), "2.25");
    EXPECT_EQ(view.Get(12345, 1), "");
    EXPECT_EQ(view.Get(kKhh, 9), "");
    EXPECT_EQ(view.GetLong(kWtsl, 0), 5);
    EXPECT_DOUBLE_EQ(view.GetDouble(kPrice, 3), 4.0);
    EXPECT_EQ(view.GetLong(12345, 0), 0);
    view.Set(12345, int32_t{1}, 0);  // unknown identity: nothing
    char buf[3];
    EXPECT_STREQ(view.GetItemText(kKhh, buf, sizeof buf, 0), "10");
}

TEST_F(Orders, Searches) {
    EXPECT_EQ(view.LocateEx({{kKhh, "1001"}, {kJys, "DCE"}}), 2);
    EXPECT_EQ(view.LocateEx({{kKhh, "1003"}, {kJys, "DCE"}}), -1);
    EXPECT_EQ(view.LocateEx({}), 0);
    EXPECT_EQ(view.LocateEx({{77, ""}}), 0);  // unknown identity reads empty
    EXPECT_EQ(view.LocateEx({{77, "x"}}), -1);
    EXPECT_EQ(view.LocateEx({{kPrice, "3.00"}}), 2);

    EXPECT_EQ(view.LocateExact({{kKhh, "1001"}, {kWtsl, 7}}), 2);
    EXPECT_EQ(view.LocateExact({{kJys, "SHFE"}, {kWtsl, 1}}), 3);
    EXPECT_EQ(view.LocateExact({{kWtsl, 2}}), -1);
    EXPECT_EQ(view.LocateExact({{kPrice, "1.50"}, {77, 1}}), 0);  // 'R' and unknown dropped
    EXPECT_EQ(view.LocateExact({{kKhh, 1002}}), 1);  // a number for a text field, as "%d"
    CFixRecord empty;
    EXPECT_EQ(empty.LocateExact({}), -1);
    EXPECT_FALSE(empty.IsCreate());

    EXPECT_EQ(view.Find(kWtsl, int32_t{3}), 1);
    EXPECT_EQ(view.Find(kJys, "SHFE"), 0);
    EXPECT_EQ(view.Find(77, "SHFE"), -1);
}

TEST_F(Orders, GetResultAndDictionaryText) {
    std::string text = "1002";
    EXPECT_EQ(view.GetResult(kKhh, kJys, text), 1);
    EXPECT_EQ(text, "DCE");
    text = "9999";
    EXPECT_EQ(view.GetResult(kKhh, kJys, text), -1);
    EXPECT_EQ(text, "9999");
    EXPECT_EQ(view.GetResult(77, kJys, text), -1);

    view.GetMemRecord()->Sort(view.FindIndex(kKhh), true);
    EXPECT_EQ(view.GetDictText(kKhh, kJys, "1003"), "SHFE");
    EXPECT_EQ(view.GetDictText(kKhh, kJys, "8888"), "8888");  // unknown key: the key itself
    EXPECT_EQ(view.GetDictText(kKhh, 77, "1003"), "1003");
    EXPECT_EQ(view.GetDictText(kWtsl, kKhh, int32_t{3}), "1002");
}

TEST_F(Orders, UpdateAndAppendGoThroughText) {
    const tagFIXHEADERINFO fine[] = {{44, "P", "R12.5", 0}, {605, "K", "C16", 0}, {0, "", "", 0}};
    CFixRecord precise;
    precise.Create(fine);
    precise.GetMemRecord()->Append(nullptr, true);
    precise.Set(kPrice, 1.23456);
    precise.Set(kKhh, "7777");
    view.Update(&precise, 0, 0);
    EXPECT_DOUBLE_EQ(view.GetDouble(kPrice, 0), 1.23456);  // the source keeps 5 decimals
    precise.Update(&view, 1, 0);
    EXPECT_EQ(precise.Get(kPrice, 0), "2.25000");
    // From a source with 2 decimals, 1.23456 arrives as 1.23.
    view.Set(kPrice, 1.23456, 0);
    precise.Update(&view, 0, 0);
    EXPECT_DOUBLE_EQ(precise.GetDouble(kPrice, 0), 1.23);
    EXPECT_EQ(view.GetLong(kWtsl, 0), 5);  // fields missing in the source keep their value

    CFixRecord copy;
    copy.Append(&view, 2);
    EXPECT_EQ(copy.GetCount(), 1);
    EXPECT_EQ(copy.GetFCount(), 4);
    EXPECT_EQ(copy.Get(kJys, 0), "DCE");
    EXPECT_EQ(copy.GetLong(kWtsl, 0), 7);
}

TEST_F(Orders, DeleteWhileRemovesConsecutiveMatches) {
    view.GetMemRecord()->Insert(nullptr, 1);
    view.Set(kJys, "DCE", 1);  // rows 1-3 are DCE now
    view.DeleteWhile(kJys, "DCE");
    EXPECT_EQ(view.GetCount(), 2);
    EXPECT_EQ(view.Get(kKhh, 1), "1003");
    view.DeleteWhile(kWtsl, int32_t{5});
    EXPECT_EQ(view.GetCount(), 1);
    view.DeleteWhile(77, "");
    EXPECT_EQ(view.GetCount(), 1);
}

TEST_F(Orders, AssignmentCopiesOrShares) {
    CFixRecord copy;
    copy = view;
    EXPECT_EQ(copy.GetCount(), 4);
    EXPECT_NE(copy.GetMemRecord(), view.GetMemRecord());
    EXPECT_EQ(copy.GetMemRecord()->GetOwnerView(), &copy);

    CFixRecord empty;
    copy = empty;  // an empty view changes nothing
    EXPECT_EQ(copy.GetCount(), 4);
    EXPECT_FALSE(empty.IsCreate());

    CFixRecord alias;
    alias = &view;
    EXPECT_EQ(alias.GetMemRecord(), view.GetMemRecord());
    CFixRecord second(view);
    EXPECT_EQ(second.GetMemRecord(), view.GetMemRecord());
    // Deep copy into a view that only shared a table lets that table go untouched.
    alias = copy;
    EXPECT_NE(alias.GetMemRecord(), view.GetMemRecord());
    EXPECT_EQ(view.GetCount(), 4);
    // Assigning a record to itself keeps its rows (through a reference, as callers meet it).
    const CFixRecord& same = copy;
    copy = same;
    EXPECT_EQ(copy.GetCount(), 4);
}

TEST_F(Orders, FilterFromKeepsMatchingRows) {
    CFixRecord shfe;
    shfe.FilterFrom(&view, {{kJys, "SHFE"}});
    ASSERT_EQ(shfe.GetCount(), 2);
    EXPECT_EQ(shfe.Get(kKhh, 1), "1003");
    shfe.FilterFrom(&view, {{kJys, "DCE"}, {kKhh, "1001"}, {77, "dropped"}});
    ASSERT_EQ(shfe.GetCount(), 3);  // rows already there stay
    EXPECT_EQ(shfe.GetLong(kWtsl, 2), 7);
    CFixRecord all;
    all.FilterWhile(&view, 77, "x");  // no kept condition: every row
    EXPECT_EQ(all.GetCount(), 4);
    CFixRecord byQty;
    byQty.FilterWhile(&view, kWtsl, int32_t{3});
    EXPECT_EQ(byQty.GetCount(), 1);
    view.FilterWhile(&view, kJys, "DCE");  // into itself: the two DCE rows once
    EXPECT_EQ(view.GetCount(), 6);
}

TEST_F(Orders, UpdateKeyValueStoresRowsOfTheOtherView) {
    const tagFIXHEADERINFO clients[] = {{605, "KHH", "C16", 0}, {0, "", "", 0}};
    CFixRecord dictionary;
    dictionary.Create(clients);
    for (const char* khh : {"1003", "1001"}) {
        dictionary.GetMemRecord()->Append(nullptr, true);
        dictionary.Set(kKhh, khh);
    }
    const tagFIXHEADERINFO withIndex[] = {
        {605, "KHH", "C16", 0}, {9001, "BROWINDEX", "N", 0}, {0, "", "", 0}};
    CFixRecord rows;
    rows.Create(withIndex);
    for (const char* khh : {"1001", "1002", "1003"}) {
        rows.GetMemRecord()->Append(nullptr, true);
        rows.Set(kKhh, khh);
    }
    rows.UpdateKeyValue(kKhh, kIndex, &dictionary);
    EXPECT_EQ(rows.GetLong(kIndex, 0), 1);
    EXPECT_EQ(rows.GetLong(kIndex, 1), -1);
    EXPECT_EQ(rows.GetLong(kIndex, 2), 0);
    rows.Set(kIndex, int32_t{5}, 0);
    rows.UpdateKeyValue(kKhh, 77, &dictionary);  // missing target: nothing
    rows.UpdateKeyValue(kKhh, kIndex, nullptr);
    EXPECT_EQ(rows.GetLong(kIndex, 0), 5);
}

TEST_F(Orders, GroupFromByIdentity) {
    CFixRecord byClient;
    byClient.GroupFrom(&view, kKhh);
    ASSERT_EQ(byClient.GetCount(), 3);
    EXPECT_EQ(byClient.Get(kKhh, 0), "1001");
    EXPECT_EQ(byClient.GetLong(kWtsl, 0), 12);
    EXPECT_DOUBLE_EQ(byClient.GetDouble(kPrice, 0), 4.5);
    EXPECT_EQ(byClient.Get(kJys, 0), "SHFE");  // text keeps the group's first value

    const unsigned keys[] = {kJys, 77};
    CFixRecord byExchange;
    byExchange.GroupFrom(&view, 2, keys);
    ASSERT_EQ(byExchange.GetCount(), 2);
    EXPECT_EQ(byExchange.GetLong(kWtsl, 1), 10);
    EXPECT_EQ(byExchange.FindIndex(kPrice), 3);
}

}  // namespace
