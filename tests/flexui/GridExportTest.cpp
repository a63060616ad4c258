// The grid's exports: dBASE and CSV images against golden bytes, numeric columns that hold
// display texts, the 16-bit record length, a grid's export read back by independent readers,
// and write failures that are reported and leave no partial file.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "flexui/GridCtrl.h"
#include "flexui/GridExport.h"
#include "platform/core/Encoding.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/Wnd.h"
#include "record/MemRecord.h"
#include "support/TempDir.h"
#include "support/ui/UiTestApp.h"

namespace {

std::string FromHex(std::string_view hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    return bytes;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Golden images made by an independent script (python's gbk codec and struct packing).
constexpr const char* kGoldenDbf =
    "031a0c0b02000000a1001b000000000000000000000000000000000000000000c3fbb3c6000000000000004301"
    "00000008000000000000000000000000000000cafdc1bf000000000000004e0900000006000000000000000000"
    "000000000000bcdbb8f100000000000000430f0000000800000000000000000000000000000041badcb3a4b5c4"
    "d6d000004317000000040000000000000000000000000000000d20b6b9c6c920202020313220202020332e3530"
    "202020206162202020d3f1c3d7202020202d3320202020cad0bcdb2020202061b6b920";
constexpr const char* kGoldenCsv =
    "c3fbb3c62cb1b8d7a22cbcdb2c0d0ab6b9c6c92c22612c62222c312c0d0ad3f1c3d72c2273617920222268692222"
    "222c2c0d0a782c226c696e65310d0a6c696e6532222c332c0d0a";

TEST(GridExportImage, DbfMatchesTheGoldenBytes) {
    // A numeric column whose texts are all numbers stays 'N'; one holding "市价" becomes text of
    // the same length; the name "A很长的中文" is cut within 10 bytes on a character boundary;
    // a cell text is cut to its field on a character boundary.
    pavlet::ExportTable table;
    table.columns = {
        {"名称", 'C', 8, 0}, {"数量", 'I', 6, 0}, {"价格", 'R', 8, 2}, {"A很长的中文", 'C', 4, 0}};
    table.rows = {{"豆粕", "12", "3.50", "ab"}, {"玉米", "-3", "市价", "a豆粕"}};
    std::string bytes;
    ASSERT_TRUE(pavlet::BuildDbf(table, pavlet::ExportDate{2026, 12, 11}, &bytes));
    EXPECT_EQ(bytes, FromHex(kGoldenDbf));
}

TEST(GridExportImage, CsvMatchesTheGoldenBytes) {
    pavlet::ExportTable table;
    table.columns = {{"名称", 'C', 8, 0}, {"备注", 'C', 20, 0}, {"价", 'R', 8, 2}};
    table.rows = {{"豆粕", "a,b", "1"}, {"玉米", "say \"hi\"", ""}, {"x", "line1\r\nline2", "3"}};
    EXPECT_EQ(pavlet::BuildCsv(table), FromHex(kGoldenCsv));
}

TEST(GridExportImage, NumericColumnsHoldOnlyPlainNumbers) {
    struct Case {
        std::vector<std::string> texts;
        char type;
        int length;
    } const cases[] = {
        {{"1", "-2.5", "+3", ""}, 'N', 10},  // blanks are no value
        {{"1,234", "5"}, 'C', 10},           // a thousands separator is display text
        {{"1", "---"}, 'C', 10},             // the "no value" mark
        {{"12345678901234", "1"}, 'N', 14},  // a longer number widens the field
        {{"1.2.3"}, 'C', 10},
        {{std::string(300, '9')}, 'N', 255},  // at most 255
    };
    for (const Case& c : cases) {
        pavlet::ExportTable table;
        table.columns = {{"V", 'I', 10, 0}};
        for (const std::string& text : c.texts) table.rows.push_back({text});
        std::string bytes;
        ASSERT_TRUE(pavlet::BuildDbf(table, pavlet::ExportDate{}, &bytes));
        EXPECT_EQ(bytes[32 + 11], c.type) << c.texts.front();
        EXPECT_EQ(static_cast<unsigned char>(bytes[32 + 16]), c.length) << c.texts.front();
    }
}

TEST(GridExportImage, RecordsPastSixteenBitsAreRefused) {
    // 257 fields of 255 bytes need 65536 bytes with the deletion flag: one too many.
    pavlet::ExportTable table;
    for (int i = 0; i < 257; ++i) table.columns.push_back({"F", 'C', 255, 0});
    std::string bytes = "untouched";
    EXPECT_FALSE(pavlet::BuildDbf(table, pavlet::ExportDate{}, &bytes));
    EXPECT_EQ(bytes, "untouched");
    table.columns.back().width = 254;  // exactly 65535
    ASSERT_TRUE(pavlet::BuildDbf(table, pavlet::ExportDate{}, &bytes));
    EXPECT_EQ(static_cast<unsigned char>(bytes[10]) | (static_cast<unsigned char>(bytes[11]) << 8),
              65535);
}

// ---------------------------------------------------------------- a grid's exports

constexpr unsigned kName = 1, kQty = 2, kPrice = 3;

const tagFIXHEADERINFO kLayout[] = {{kName, "名称", "C8", 0},
                                    {kQty, "数量", "N6", 0},
                                    {kPrice, "价格", "R9.2", 0},
                                    {100, "color", "N4", 0},
                                    {0, "", "", 0}};

const char* QtyText(CFixRecord* table, int row, int field, void*) {
    // The owner shows a price kind instead of a number in one row.
    static std::string text;
    if (table->GetMemRecord()->GetFieldIDentity(field) != kQty) return nullptr;
    const int32_t qty = table->GetMemRecord()->GetLong(field, row);
    text = qty < 0 ? "市价" : std::to_string(qty);
    return text.c_str();
}

class GridExportTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        table.Create(kLayout);
        ASSERT_TRUE(host.CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 420, 300},
                                  nullptr, 0));
        ASSERT_TRUE(grid.Create(WS_CHILD | WS_VISIBLE, RECT{0, 0, 400, 280}, &host, 77));
    }
    void TearDown() override {
        grid.DestroyWindow();
        host.DestroyWindow();
        UiTest::TearDown();
    }
    void Add(const char* name, int qty, double price) {
        const int row = table.GetMemRecord()->Append(nullptr, true);
        table.Set(kName, name, row);
        table.Set(kQty, int32_t{qty}, row);
        table.Set(kPrice, price, row);
    }
    // Runs an export command answering the save dialog with `path`.
    void Export(WPARAM command, const std::string& path) {
        services_.AnswerFileDialog({path});
        grid.SendMessage(WM_GRID_COMMAND, command, 0);
    }
    std::vector<platform::ui::ScriptedUiServices::Call> Messages() {
        return services_.CallsOf("MessageBox");
    }

    testsupport::TempDir dir;
    CFixRecord table;
    CWnd host;
    CGridCtrl grid;
};

// Runs a python reader over a file; its output, or nullopt when the reader is missing.
std::optional<std::string> RunReader(const std::string& script, const std::string& path) {
    const std::string line = "/usr/bin/python3 -c '" + script + "' '" + path + "' 2>&1";
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string out;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
    const int status = pclose(pipe);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 77) return std::nullopt;
    return out;
}

TEST_F(GridExportTest, DbfOfTheGridIsReadBackByIndependentReaders) {
    Add("豆粕", 12, 3.5);
    Add("玉米", -1, 2120);
    grid.SetRecordTextFunctor(QtyText, nullptr);
    grid.SetRecord(&table, nullptr);
    const std::string path = dir.file("out.dbf");
    Export(100, path);
    EXPECT_TRUE(Messages().empty());
    const std::string bytes = ReadAll(path);
    ASSERT_GE(bytes.size(), 32u);
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(bytes[4], 2);           // two records
    EXPECT_EQ(bytes[64 + 11], 'C');   // "市价" made the quantity text
    EXPECT_EQ(bytes[96 + 11], 'N');   // prices are all plain numbers
    EXPECT_NE(bytes.back(), '\x1a');  // no end marker

    const char* script =
        "import sys\n"
        "try:\n"
        "    import dbfread\n"
        "except ImportError:\n"
        "    sys.exit(77)\n"
        "t = dbfread.DBF(sys.argv[1], encoding=\"gbk\")\n"
        "print(\",\".join(f.name + \":\" + f.type for f in t.fields))\n"
        "for r in t:\n"
        "    print(\"|\".join(str(v) for v in r.values()))\n";
    // shapelib's reader: fields by their declared lengths and types.
    struct stat info {};
    if (stat("/usr/bin/dbfdump", &info) == 0) {
        FILE* pipe = popen(("/usr/bin/dbfdump '" + path + "'").c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string dump;
        char chunk[4096];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) dump.append(chunk, n);
        EXPECT_EQ(pclose(pipe), 0);
        EXPECT_EQ(platform::GbkToUtf8(dump),
                  "名称     数量     价格 \n"
                  "豆粕     12       3.50 \n"
                  "玉米     市价  2120.00 \n")
            << platform::GbkToUtf8(dump);
    } else {
        std::cout << "dbfdump (shapelib) is missing: the DBF is not read by it\n";
    }
    const auto out = RunReader(script, path);
    if (!out) GTEST_SKIP() << "python3-dbfread is missing: the DBF is not cross-read";
    EXPECT_EQ(*out, "名称:C,数量:C,价格:N\n豆粕|12|3.5\n玉米|市价|2120.0\n");
}

TEST_F(GridExportTest, CsvOfTheGridHasTheCaptionsAndTheDisplayedTexts) {
    Add("a,b", 1, 1.25);
    grid.SetRecord(&table, nullptr);
    const std::string path = dir.file("out.csv");
    Export(101, path);
    EXPECT_EQ(ReadAll(path), platform::Utf8ToGbk("名称,数量,价格,\r\n\"a,b\",1,1.25,\r\n"));
    const auto dialogs = services_.CallsOf("FileDialog");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].caption, "csv文件 (*.csv)|*.csv|全部文件(*.*)|*.*||");
    EXPECT_TRUE(dialogs[0].type & OFN_OVERWRITEPROMPT);
}

TEST_F(GridExportTest, AnEmptyGridExportsItsFieldsOnlyAndCancellingWritesNothing) {
    grid.SetRecord(&table, nullptr);
    Export(100, dir.file("empty.dbf"));
    const std::string dbf = ReadAll(dir.file("empty.dbf"));
    ASSERT_EQ(dbf.size(), 32u + 3 * 32 + 1);
    EXPECT_EQ(dbf[4], 0);
    EXPECT_EQ(dbf.back(), '\x0d');
    Export(101, dir.file("empty.csv"));
    EXPECT_EQ(ReadAll(dir.file("empty.csv")), platform::Utf8ToGbk("名称,数量,价格,\r\n"));
    grid.SendMessage(WM_GRID_COMMAND, 101, 0);  // no answer: the dialog is cancelled
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              2);
}

TEST_F(GridExportTest, FailuresAreReportedWithThePathAndLeaveNoPartialFile) {
    for (int i = 0; i < 400; ++i) Add("豆粕", i, 1.5);
    grid.SetRecord(&table, nullptr);

    const std::string missing = dir.file("no-such-dir/out.dbf");
    Export(100, missing);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].caption, "保存文件");
    EXPECT_EQ(Messages()[0].text, "创建文件(" + missing + ")失败!");
    EXPECT_EQ(Messages()[0].type & MB_ICONSTOP, MB_ICONSTOP);

    // A disk that fills up part way: the write fails, the partial file goes.
    const std::string partial = dir.file("partial.csv");
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Export(101, partial);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_EQ(Messages()[1].text, "创建文件(" + partial + ")失败!");
    EXPECT_FALSE(std::filesystem::exists(partial));

    // A device that refuses the bytes is reported but never removed.
    struct stat info {};
    if (stat("/dev/full", &info) == 0) {
        Export(100, "/dev/full");
        ASSERT_EQ(Messages().size(), 3u);
        EXPECT_TRUE(std::filesystem::exists("/dev/full"));
    }
}

}  // namespace
