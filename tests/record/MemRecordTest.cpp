// Tests of CMemRecord's layout, row store, typed access, cursor rules and linear search.
#include "record/MemRecord.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

namespace {

// Exposes the protected entry look-up for layout checks.
class ProbeRecord : public CMemRecord {
public:
    using CMemRecord::GetEntryInfo;
};

TEST(MemRecordTest, LayoutOfTheExampleDefinition) {
    ProbeRecord table;
    table.Create("A[C10],B[I],C[R12.3]");
    table.Append(nullptr, true);
    // A text field's room holds its GBK byte budget in UTF-8 (10 GBK bytes can take 15 UTF-8
    // bytes) plus the NUL, rounded up to 4: 16 bytes, so B starts at 20 and C at 24.
    EXPECT_EQ(table.GetDataSize(), 32u);
    int type = 0, width = 0, decimals = 0;
    const char* row = table.GetData(0);
    const struct {
        int field;
        char type;
        int width;
        int decimals;
        int offset;
    } expected[] = {{0, 'C', 10, 0, 4}, {1, 'I', 4, 0, 20}, {2, 'R', 8, 3, 24}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.field);
        const char* entry = table.GetEntryInfo(e.field, row, &type, &width, &decimals);
        EXPECT_EQ(entry - row, e.offset);
        EXPECT_EQ(type, e.type);
        EXPECT_EQ(width, e.width);
        EXPECT_EQ(decimals, e.decimals);
    }
    EXPECT_EQ(table.GetDetail(), "A[C10],B[I4],C[R8.3]");
}

TEST(MemRecordTest, DefinitionParsingRules) {
    const std::string name40(40, 'n');
    // Eleven characters of three UTF-8 bytes: the 31-byte cut keeps ten whole characters.
    const std::string chineseName = "中文字段名称非常非常长";
    const struct {
        std::string definition;
        std::string detail;
    } cases[] = {
        {"X[R]", "X[R8.2]"},
        {"X[R.20]", "X[R8.16]"},
        {"X[r12.-3]", "X[R8.0]"},
        {"X[f10.4]", "X[R8.4]"},
        {"X[C0]", "X[C32]"},
        {"X[", "X[C32]"},
        {"X", "X[C32]"},
        {"X[C-4]", "X[C32]"},
        {"X[Z7]", "X[C7]"},
        {"X[n10],Y[d],Z[i99]", "X[I4],Y[I4],Z[I4]"},
        {"[C5],,Y[I],", "Y[I4]"},
        {"X[C100000]", "X[C32767]"},
        {name40 + "[I]", name40.substr(0, 31) + "[I4]"},
        {chineseName + "[C4]", chineseName.substr(0, 30) + "[C4]"},
        {"KHH[C20],WTSL[N10],WTJG[R12.3],BZ[R],XM",
         "KHH[C20],WTSL[I4],WTJG[R8.3],BZ[R8.2],XM[C32]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.definition);
        CMemRecord table;
        table.Create(c.definition.c_str());
        EXPECT_EQ(table.GetDetail(), c.detail);
        CMemRecord rebuilt;
        rebuilt.Create(table.GetDetail().c_str());
        EXPECT_EQ(rebuilt.GetDetail(), c.detail);
        EXPECT_TRUE(rebuilt.SameLayout(&table));
    }
    CMemRecord named;
    named.Create((name40 + "[I]," + chineseName + "[C4]").c_str());
    EXPECT_EQ(named.FindIndex(name40.c_str()), 0);
    EXPECT_EQ(named.FindIndex(chineseName.c_str()), 1);
}

TEST(MemRecordTest, EmptyDefinitionsGiveNoLayoutAndRefuseRows) {
    for (const char* definition : {static_cast<const char*>(nullptr), "", ",,", "[C5]"}) {
        CMemRecord table;
        table.Create(definition);
        EXPECT_EQ(table.GetFCount(), 0);
        EXPECT_EQ(table.GetDataSize(), 0u);
        EXPECT_EQ(table.Append(nullptr, true), -1);
        EXPECT_EQ(table.Insert(nullptr, 0), -1);  // not "before", as if it had worked
        EXPECT_EQ(table.GetCount(), 0);
    }
}

class TypedAccess : public ::testing::Test {
protected:
    void SetUp() override {
        table.Create("T[C10],N[I],P[R12.3],S[C4],W[C3]");
        table.Append(nullptr, true);
    }
    CMemRecord table;
};

TEST_F(TypedAccess, TextIntoTextFieldsKeepsTheGbkBudget) {
    const struct {
        int field;
        std::string text;
        std::string stored;
    } cases[] = {
        {0, "ABCDEFGHIJK", "ABCDEFGHIJ"},  // 11 characters into C10
        {3, "中文字符", "中文"},           // two bytes each in GBK
        {3, "a中文", "a中"},               // the cut never splits a character
        {3, "a\xF0\x9F\x98\x80z", "a?z"},  // not in GBK: kept as '?'
        {3, "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC", "\xE2\x82\xAC\xE2\x82\xAC"},
        {0, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        table.Set(c.field, c.text.c_str());
        EXPECT_EQ(table.GetItemText(c.field), c.stored);
    }
    // The euro sign is one GBK byte but three UTF-8 bytes: the text stops at its room and
    // the next field is untouched.
    table.Set(4, "xyz");
    table.Set(3, "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC");
    EXPECT_EQ(table.GetItemText(4), "xyz");
    // The bytes after a cut text stay zero.
    table.Set(0, "ABCDEFGHIJK");
    std::string scratch;
    const char* p = table.GetDirectText(0, scratch);
    EXPECT_EQ(p[10], '\0');
}

TEST_F(TypedAccess, ConversionsBetweenTypes) {
    table.Set(1, "abc");
    EXPECT_EQ(table.GetLong(1), 0);
    table.Set(0, "42x");
    EXPECT_EQ(table.GetLong(0), 42);
    EXPECT_DOUBLE_EQ(table.GetDouble(0), 42.0);
    table.Set(1, "  -17 apples");
    EXPECT_EQ(table.GetLong(1), -17);
    table.Set(1, "99999999999");
    EXPECT_EQ(table.GetLong(1), std::numeric_limits<int32_t>::max());
    table.Set(1, 3e10);
    EXPECT_EQ(table.GetLong(1), std::numeric_limits<int32_t>::max());
    table.Set(1, -3e10);
    EXPECT_EQ(table.GetLong(1), std::numeric_limits<int32_t>::min());
    table.Set(1, std::nan(""));
    EXPECT_EQ(table.GetLong(1), 0);
    table.Set(1, -2.7);
    EXPECT_EQ(table.GetLong(1), -2);
    EXPECT_EQ(table.GetItemText(1), "-2");
    table.Set(2, "1.5");
    EXPECT_EQ(table.GetItemText(2), "1.500");
    table.Set(2, int32_t{7});
    EXPECT_DOUBLE_EQ(table.GetDouble(2), 7.0);
    table.Set(2, -2.75);
    EXPECT_EQ(table.GetLong(2), -2);
    table.Set(0, 0.125);
    EXPECT_EQ(table.GetItemText(0), "0.125");
    table.Set(4, int32_t{12345});
    EXPECT_EQ(table.GetItemText(4), "123");
    table.Set("N", int32_t{5});
    EXPECT_EQ(table.GetLong("N"), 5);
    EXPECT_EQ(table.GetItemText("nope"), "");
}

TEST_F(TypedAccess, SetMarksRowAndFieldButSetDataDoesNot) {
    EXPECT_EQ(table.GetItemExtendStyle(0), 0u);
    table.Set(1, int32_t{3});
    EXPECT_EQ(table.GetItemExtendStyle(0), CMemRecord::kChangeMark);
    EXPECT_EQ(table.GetFieldExtendStyle(1), CMemRecord::kChangeMark);
    EXPECT_EQ(table.GetFieldExtendStyle(2), 0u);
    table.SetItemExtendStyle(CMemRecord::kChangeMark | 0x3, 0x1, 0);
    EXPECT_EQ(table.GetItemExtendStyle(0), 0x1u);

    std::vector<char> image(table.GetDataSize(), 0);
    table.SetData(image.data(), 0);
    EXPECT_EQ(table.GetItemExtendStyle(0), 0u);
    EXPECT_EQ(table.GetLong(1), 0);
}

TEST_F(TypedAccess, BadRowsAndFieldsReadEmptyAndWriteNothing) {
    table.Set(1, int32_t{9});
    table.Set(7, int32_t{1});
    table.Set(1, int32_t{1}, 5);
    table.Set(1, static_cast<const char*>(nullptr));
    EXPECT_EQ(table.GetLong(1), 9);
    EXPECT_EQ(table.GetLong(1, 3), 0);
    EXPECT_EQ(table.GetItemText(-5, 0), "");
    std::string scratch;
    EXPECT_EQ(table.GetDirectText(1, scratch, 3), nullptr);
    EXPECT_EQ(table.GetFieldType(9), 0);
    EXPECT_EQ(table.GetData(1), nullptr);
}

TEST_F(TypedAccess, TextOutputIsBounded) {
    table.Set(0, "中文ab");
    table.Set(1, int32_t{123456});
    char buf[8];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_STREQ(table.GetItemText(0, buf, 5), "中");  // four bytes would split 文
    EXPECT_STREQ(table.GetItemText(1, buf, 4), "123");
    EXPECT_STREQ(table.GetItemText(0, buf, 1), "");
    EXPECT_EQ(table.GetItemText(0, buf, 0), buf);

    std::string scratch;
    const char* text = table.GetDirectText(0, scratch);
    EXPECT_EQ(text, table.GetData(0) + 4);  // the 'C' text is read in place
    EXPECT_STREQ(table.GetDirectText(1, scratch), "123456");
    EXPECT_EQ(table.GetDirectText(1, scratch), scratch.c_str());
}

TEST(MemRecordTest, RealsCompareEqualWithin2PowMinus23) {
    CMemRecord table;
    table.Create("P[R12.8]");
    table.Append(nullptr, true);
    table.Set(0, 1.0);
    EXPECT_EQ(table.Locate(0, "1.0000001"), 0);
    EXPECT_EQ(table.Locate(0, "1.000001"), -1);
}

TEST(MemRecordTest, CursorRulesOfAppendInsertDelete) {
    CMemRecord table;
    table.Create("K[I]");
    EXPECT_EQ(table.Append(nullptr, false), 0);  // a negative cursor moves anyway
    for (int i = 1; i < 5; ++i) table.Append(nullptr, false);
    table.Go(3);
    EXPECT_EQ(table.Append(nullptr, false), 3);
    EXPECT_EQ(table.Append(nullptr, true), 6);
    table.Delete(6);
    table.Delete(5);
    ASSERT_EQ(table.GetCount(), 5);
    table.Go(1);
    EXPECT_EQ(table.Insert(nullptr, 99), 5);
    EXPECT_EQ(table.Insert(nullptr, 2), 2);
    EXPECT_EQ(table.GetNo(), 1);
    EXPECT_EQ(table.Insert(nullptr, -1), 7);

    table.GoBottom();
    table.Delete(-1);  // the cursor row
    EXPECT_EQ(table.GetNo(), 6);
    EXPECT_EQ(table.GetCount(), 7);
    table.Zap();
    EXPECT_EQ(table.GetNo(), -1);
    EXPECT_TRUE(table.IsEmpty());
    table.Append(nullptr, true);
    table.Delete(0);
    EXPECT_EQ(table.GetNo(), -1);
    EXPECT_TRUE(table.Bof());
}

TEST(MemRecordTest, RowBlocksAndFifoReuse) {
    CMemRecord table;
    table.Create("K[I]");
    const std::size_t rowSize = table.GetDataSize();
    for (int i = 0; i < 32; ++i) table.Append(nullptr, true);
    const char* first = table.GetData(0);
    for (int i = 1; i < 32; ++i) EXPECT_EQ(table.GetData(i), first + i * rowSize);
    // The 33rd row comes from a new block.
    table.Append(nullptr, true);
    const char* thirtyThird = table.GetData(32);
    EXPECT_TRUE(thirtyThird < first || thirtyThird >= first + 32 * rowSize);
    table.Delete(32);

    // Freed rows go to the back of the pool and are reused oldest first.
    CMemRecord full;
    full.Create("K[I]");
    for (int i = 0; i < 32; ++i) full.Append(nullptr, true);
    char* row3 = full.GetData(3);
    char* row7 = full.GetData(7);
    full.Delete(7);
    full.Delete(3);
    full.Append(nullptr, true);
    full.Append(nullptr, true);
    EXPECT_EQ(full.GetData(30), row7);
    EXPECT_EQ(full.GetData(31), row3);
    EXPECT_EQ(full.FindData(row3), 31);
    EXPECT_EQ(full.FindData(nullptr), -1);
}

TEST(MemRecordTest, SwapMovesRowsNotImages) {
    CMemRecord table;
    table.Create("K[I]");
    for (int i = 0; i < 3; ++i) {
        table.Append(nullptr, true);
        table.Set(0, int32_t{i});
    }
    char* row0 = table.GetData(0);
    table.Go(1);
    table.Swap(0, 2);
    EXPECT_EQ(table.GetData(2), row0);
    EXPECT_EQ(table.GetLong(0, 0), 2);
    EXPECT_EQ(table.GetNo(), 1);
    table.Swap(0, 3);  // out of range: nothing
    EXPECT_EQ(table.GetLong(0, 0), 2);
}

class FilledTable : public ::testing::Test {
protected:
    void SetUp() override {
        table.Create("CODE[C8],QTY[I],PRICE[R10.2]");
        const char* codes[] = {"cu", "al", "zn"};
        for (int i = 0; i < 3; ++i) {
            table.Append(nullptr, true);
            table.Set(0, codes[i]);
            table.Set(1, int32_t{i + 1});
            table.Set(2, 1.5 * (i + 1));
        }
        table.SetFieldIDentity(0, 48);
        table.SetFieldIDentity(2, 44);
        table.SetFieldViewWidth(1, 60);
    }
    CMemRecord table;
};

TEST_F(FilledTable, AssignmentCopiesLayoutAndRows) {
    CMemRecord copy;
    copy = table;
    EXPECT_EQ(copy.GetDetail(), table.GetDetail());
    EXPECT_EQ(copy.GetCount(), 3);
    EXPECT_EQ(copy.GetNo(), 2);
    EXPECT_EQ(copy.GetItemText(0, 1), "al");
    EXPECT_EQ(copy.FindIndex(44u), 2);
    EXPECT_EQ(copy.GetFieldViewWidth(1), 60);

    CMemRecord noLayout;
    table = noLayout;  // a table without layout changes nothing
    EXPECT_EQ(table.GetCount(), 3);
    table = table;
    EXPECT_EQ(table.GetCount(), 3);
    table.CreateFrom(&table);
    EXPECT_EQ(table.GetCount(), 3);
}

TEST_F(FilledTable, CreateFromCopiesLayoutWithoutRows) {
    CMemRecord other;
    other.Create("X[I]");
    other.Append(nullptr, true);
    other.CreateFrom(&table);
    EXPECT_EQ(other.GetCount(), 0);
    EXPECT_EQ(other.GetFCount(), 3);
    EXPECT_EQ(other.FindIndex(48u), 0);
    EXPECT_EQ(other.GetKeyIndex(), -1);
}

TEST_F(FilledTable, AppendTablesOfTheSameLayoutOnly) {
    table.Append(&table);  // its own rows, counted once
    EXPECT_EQ(table.GetCount(), 6);
    EXPECT_EQ(table.GetItemText(0, 5), "zn");

    CMemRecord same;
    same.Create("A[C8],B[I],C[R4.1]");  // other names and decimals, same storage
    EXPECT_EQ(same.Append(&table), 5);
    EXPECT_EQ(same.GetCount(), 6);

    CMemRecord wider;
    wider.Create("CODE[C9],QTY[I],PRICE[R10.2]");
    EXPECT_EQ(wider.Append(&table), -1);
    EXPECT_EQ(wider.GetCount(), 0);
}

TEST_F(FilledTable, FieldsByNameAndIdentity) {
    EXPECT_EQ(table.FindIndex("QTY"), 1);
    EXPECT_EQ(table.FindIndex("qty"), -1);
    EXPECT_EQ(table.FindIndex(48u), 0);
    EXPECT_EQ(table.FindIndex(0u), -1);
    EXPECT_EQ(table.FindIndex(999u), -1);
    table.SetFieldIDentity(1, 48);  // a later mapping wins
    EXPECT_EQ(table.FindIndex(48u), 1);
    EXPECT_EQ(table.GetIndexID(0), 48u);
    EXPECT_EQ(table.GetFieldIDentity(7), 0u);

    const std::string longName(40, 'q');
    table.SetFieldName(1, longName.c_str());
    EXPECT_EQ(table.FindIndex(longName.c_str()), 1);  // compared on 31 characters
    std::string name;
    uint8_t type = 0;
    int width = 0, view = 0, decimals = 0;
    ASSERT_TRUE(table.GetFieldInfo(2, &name, &type, &width, &view, &decimals));
    EXPECT_EQ(name, "PRICE");
    EXPECT_EQ(type, 'R');
    EXPECT_EQ(decimals, 2);
    EXPECT_FALSE(table.GetFieldInfo(3, &name, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(FilledTable, LocateTestsTheRangeInOrder) {
    EXPECT_EQ(table.Locate(0, "al"), 1);
    EXPECT_EQ(table.Locate("QTY", "3"), 2);
    EXPECT_EQ(table.Locate(2, "4.5"), 2);
    EXPECT_EQ(table.Locate(0, "al", 2, 2), -1);
    EXPECT_EQ(table.Locate(0, "cu", 7, 99), 0);  // a bad range is the whole table
    EXPECT_EQ(table.Locate(5, "cu"), -1);
    table.Empty();
    EXPECT_EQ(table.Locate(0, "cu"), -1);
    EXPECT_EQ(table.GetFCount(), 0);
}

}  // namespace

namespace {

TEST(MemRecordConcurrencyTest, ReadersAlwaysSeeWholeRowsWhileWritersChangeTheTable) {
    CMemRecord table;
    table.Create("K[C8],N[I],TWICE[I]");
    constexpr int kWriters = 2, kReaders = 3, kRounds = 1500;
    std::atomic<int> torn{0};
    {
        std::vector<std::jthread> threads;
        for (int w = 0; w < kWriters; ++w)
            threads.emplace_back([&, w] {
                for (int i = 0; i < kRounds; ++i) {
                    // Several operations as one unit: nested calls re-enter the owner's hold.
                    table.acquireLockExclusive();
                    const int row = table.Insert(nullptr, i % 7);
                    table.Set(0, std::to_string(w * kRounds + i).c_str(), row);
                    table.Set(1, int32_t{i}, row);
                    table.Set(2, int32_t{2 * i}, row);
                    table.releaseLockExclusive();
                    if (i % 100 == 99) table.Sort(1, i % 200 == 99);
                    if (i % 3 == 0) table.Delete(0);
                }
            });
        for (int r = 0; r < kReaders; ++r)
            threads.emplace_back([&] {
                for (int i = 0; i < kRounds; ++i) {
                    table.acquireLockShared();
                    for (int row = 0; row < table.GetCount(); ++row)
                        if (table.GetLong(2, row) != 2 * table.GetLong(1, row)) ++torn;
                    (void)table.Find(0, "17");
                    table.releaseLockShared();
                    (void)table.GetCount();  // the accessors take no lock
                    (void)table.GetNo();
                }
            });
    }
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(table.GetCount(), kWriters * (kRounds - kRounds / 3));
}

}  // namespace
