// Tests of the GIF block walk: frames, their timing and place, stand-alone frame bytes, and
// cut or crafted GIFs that must stop the walk without reading past the bytes.
#include "flexui/GifDecoder.h"

#include <gtest/gtest.h>

#include <QImage>

#include "GifMaker.h"

namespace {

using flexui_test::GifMaker;

const std::vector<std::array<uint8_t, 3>> kTable = {
    {{0, 0, 0}}, {{255, 0, 0}}, {{0, 255, 0}}, {{0, 0, 255}}};

TEST(GifDecoderTest, FramesWithTheirTimingPlaceAndBlocks) {
    const std::vector<uint8_t> gif = GifMaker(8, 6, kTable, 2)
                                         .Application()
                                         .Control(0, 1)
                                         .Image(0, 0, 8, 6, 1)
                                         .Comment("between")
                                         .Control(25, 2)
                                         .PlainText()
                                         .Image(2, 1, 4, 3, 2, kTable)
                                         .Image(0, 0, 8, 6, 3)  // no control of its own
                                         .Bytes();
    const GifFile file = ReadGif(gif.data(), gif.size());
    EXPECT_EQ(file.width, 8);
    EXPECT_EQ(file.height, 6);
    EXPECT_EQ(file.globalTableSize, 12u);
    EXPECT_EQ(file.background, 0x00FF00u);  // index 2 as COLORREF
    ASSERT_EQ(file.frames.size(), 3u);
    EXPECT_EQ(file.frames[0].delay, 0);
    EXPECT_EQ(file.frames[0].disposal, 1);
    EXPECT_EQ(file.frames[1].delay, 25);
    EXPECT_EQ(file.frames[1].disposal, 2);
    EXPECT_EQ(file.frames[1].left, 2);
    EXPECT_EQ(file.frames[1].top, 1);
    EXPECT_EQ(file.frames[1].width, 4);
    EXPECT_EQ(file.frames[1].height, 3);
    EXPECT_EQ(file.frames[2].delay, 0);

    // A frame is the header and table, its own blocks from its graphic control on, and ";".
    const std::vector<uint8_t> second =
        GifMaker(8, 6, kTable, 2).Control(25, 2).PlainText().Image(2, 1, 4, 3, 2, kTable).Bytes();
    EXPECT_EQ(file.frames[1].gif, second);
    // Each frame decodes on its own to its colour at its place.
    QImage image =
        QImage::fromData(file.frames[1].gif.data(), static_cast<int>(file.frames[1].gif.size()));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixel(3, 2) & 0xFFFFFF, 0x00FF00u);
}

TEST(GifDecoderTest, WhatIsNotAGifOrHasNoWholeImage) {
    const std::vector<uint8_t> gif87 =
        GifMaker(2, 2, kTable, 0, "GIF87a").Image(0, 0, 2, 2, 1).Bytes();
    EXPECT_EQ(ReadGif(gif87.data(), gif87.size()).frames.size(), 1u);
    const std::vector<uint8_t> other =
        GifMaker(2, 2, kTable, 0, "GIF88a").Image(0, 0, 2, 2, 1).Bytes();
    EXPECT_FALSE(IsGifData(other.data(), other.size()));
    EXPECT_TRUE(ReadGif(other.data(), other.size()).frames.empty());
    EXPECT_TRUE(ReadGif(nullptr, 100).frames.empty());
    const std::vector<uint8_t> none = GifMaker(2, 2, kTable).Comment("only").Bytes();
    EXPECT_TRUE(ReadGif(none.data(), none.size()).frames.empty());
}

TEST(GifDecoderTest, EveryCutOfTheBytesStopsTheWalkInside) {
    const std::vector<uint8_t> gif = GifMaker(4, 4, kTable)
                                         .Control(10, 0)
                                         .Image(0, 0, 4, 4, 1)
                                         .Comment("x")
                                         .Control(10, 0)
                                         .Image(0, 0, 4, 4, 2, kTable)
                                         .Bytes();
    const size_t firstEnds =
        GifMaker(4, 4, kTable).Control(10, 0).Image(0, 0, 4, 4, 1).Bytes(false).size();
    for (size_t cut = 0; cut < gif.size(); ++cut) {
        // A copy of exactly `cut` bytes, so that a read past it is a heap overflow.
        std::vector<uint8_t> part(gif.begin(), gif.begin() + static_cast<long>(cut));
        const GifFile file = ReadGif(part.data(), part.size());
        const size_t expected = cut < firstEnds ? 0 : cut < gif.size() - 1 ? 1 : 2;
        EXPECT_EQ(file.frames.size(), expected) << cut;
    }
}

TEST(GifDecoderTest, CraftedLengthsAndIndexes) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        size_t frames;
        uint32_t background;
    };
    std::vector<uint8_t> bigTable = GifMaker(2, 2, kTable).Image(0, 0, 2, 2, 1).Bytes();
    bigTable[10] = 0x87;  // claims 256 entries, holds 4
    std::vector<uint8_t> farBackground = GifMaker(2, 2, kTable, 200).Image(0, 0, 2, 2, 1).Bytes();
    std::vector<uint8_t> bigLocal = GifMaker(2, 2, kTable).Image(0, 0, 2, 2, 1).Bytes();
    bigLocal[13 + 12 + 9] = 0x87;  // image flags: a 256-entry local table that is not there
    std::vector<uint8_t> longSubBlock =
        GifMaker(2, 2, kTable).Comment("abc").Image(0, 0, 2, 2, 1).Bytes();
    longSubBlock[13 + 12 + 2] = 250;  // the comment's sub-block runs past the end
    std::vector<uint8_t> unknown =
        GifMaker(2, 2, kTable).Byte(0x21).Byte(0x77).Image(0, 0, 2, 2, 1).Bytes();
    std::vector<uint8_t> stray =
        GifMaker(2, 2, kTable).Image(0, 0, 2, 2, 1).Byte('x').Image(0, 0, 2, 2, 2).Bytes();
    const Case cases[] = {
        {"global table longer than the data", bigTable, 0, 0},
        {"background index outside the table", farBackground, 1, 0},
        {"local table longer than the data", bigLocal, 0, 0},
        {"sub-block past the end", longSubBlock, 0, 0},
        {"unknown extension ends the walk", unknown, 0, 0},
        {"unknown block after an image ends the walk", stray, 1, 0},
    };
    for (const Case& c : cases) {
        const GifFile file = ReadGif(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(file.frames.size(), c.frames) << c.name;
        EXPECT_EQ(file.background, c.background) << c.name;
    }
}

}  // namespace
