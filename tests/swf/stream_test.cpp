#include "tests/swf/swf_test_util.h"

#include <climits>

TEST(SwfStreamTest, PacksBitsFromTheTopAndAligns) {
    FSWFStream small;
    small.PutBits(5, 3);
    small.PutBits(1, 1);
    small.Align();
    EXPECT_EQ(StreamHex(small), "B0");

    FSWFStream wide;
    wide.PutBits(0x1FF, 9);
    EXPECT_EQ(wide.BytePos(), 1u);
    EXPECT_EQ(wide.TotalSize(), 1u) << "pending bits are not counted";
    wide.Align();
    EXPECT_EQ(StreamHex(wide), "FF 80");

    FSWFStream full;
    full.PutBits(0xDEADBEEF, 32);
    full.PutBits(0xFFFFFFFF, 0);
    EXPECT_EQ(StreamHex(full), "DE AD BE EF");

    // Negative values are their two's complement cut to the width; higher bits are dropped.
    FSWFStream negative;
    negative.PutBits(static_cast<uint32_t>(-100), 9);
    negative.PutBits(0xF0, 4);
    negative.Align();
    EXPECT_EQ(StreamHex(negative), "CE 00");
}

TEST(SwfStreamTest, MultiByteValuesAreLittleEndianAndMayStraddleBytes) {
    FSWFStream aligned;
    aligned.PutU16(0x1234);
    aligned.PutU32(0xA1B2C3D4);
    EXPECT_EQ(StreamHex(aligned), "34 12 D4 C3 B2 A1");

    FSWFStream straddling;
    straddling.PutBits(1, 1);
    straddling.PutU16(0xFFFF);
    straddling.Align();
    EXPECT_EQ(StreamHex(straddling), "FF FF 80");
}

TEST(SwfStreamTest, BitsNeededCountsDigitsPlusSignBits) {
    EXPECT_EQ(BitsNeeded(0, 1), 1u);
    EXPECT_EQ(BitsNeeded(1, 1), 2u);
    EXPECT_EQ(BitsNeeded(255, 0), 8u);
    EXPECT_EQ(BitsNeeded(256, 1), 10u);
    EXPECT_EQ(BitsNeeded(0, 0), 0u);
    EXPECT_EQ(BitsNeeded(0xFFFFFFFF, 0), 32u);
    EXPECT_EQ(MaxMagnitude(3, -7, 5, 0), 7u);
    EXPECT_EQ(MaxMagnitude(0, INT_MIN, 0, 0), 0x80000000u);
}

TEST(SwfStreamTest, TagHeaderIsShortUpTo62BytesAndLongFrom63) {
    for (uint32_t size : {0u, 62u, 63u, 64u}) {
        FSWFStream body;
        for (uint32_t i = 0; i < size; ++i) {
            body.PutByte(static_cast<uint8_t>(i));
        }
        FSWFStream out;
        out.PutTag(9, static_cast<uint32_t>(body.TotalSize()), &body);
        const std::vector<uint8_t> bytes = StreamBytes(out);
        if (size <= 62) {
            ASSERT_EQ(bytes.size(), size + 2);
            EXPECT_EQ((bytes[0] | bytes[1] << 8), 9 * 64 + static_cast<int>(size));
        } else {
            ASSERT_EQ(bytes.size(), size + 6);
            EXPECT_EQ(bytes[0], 9 * 64 % 256 + 0x3F);
            EXPECT_EQ(bytes[1], 9 * 64 / 256);
            EXPECT_EQ(bytes[2], size);
            EXPECT_EQ(bytes[3] | bytes[4] | bytes[5], 0);
        }
        EXPECT_EQ(bytes.back(), size == 0 ? 9 * 64 / 256 : (size - 1) & 0xFF);
    }
}

TEST(SwfStreamTest, SmallRecordsEncode) {
    FSWFStream zeroRect;
    FRect(0, 0, 0, 0).WriteTo(zeroRect);
    EXPECT_EQ(StreamHex(zeroRect), "08 00");

    FSWFStream frame;
    FRect(0, 0, 2000, 1000).WriteTo(frame);
    // 12 bits each: 0, 2000, 0, 1000.
    EXPECT_EQ(StreamHex(frame), "60 00 3E 80 00 1F 40");

    FSWFStream colours;
    FColor(1, 2, 3).WriteTo(colours);
    FColor(0x104, 5, 6, 7).WriteTo(colours);
    EXPECT_EQ(StreamHex(colours), "01 02 03 04 05 06 07");

    FSWFStream strings;
    FString("Ab").WriteTo(strings, true);
    FString("c").WriteTo(strings, false);
    EXPECT_EQ(StreamHex(strings), "41 62 00 63");
}

TEST(SwfStreamTest, ReferencedBlocksAreInsertedAndNeverCopied) {
    uint8_t first[] = {0xA1, 0xA2};
    uint8_t second[] = {0xB1};
    FSWFStream body;
    body.PutBlob(first, sizeof first);
    body.PutByte(0x01);
    body.PutBlob(second, sizeof second);
    body.PutByte(0x02);
    body.PutBlob(second, 0);
    EXPECT_EQ(body.TotalSize(), 5u);

    // Appended behind a partial byte, the tag's own bytes straddle; the blocks keep their place.
    FSWFStream out;
    out.PutBits(0xF, 4);
    out.AppendStream(body);
    EXPECT_TRUE(body.References().empty());
    ASSERT_EQ(out.References().size(), 3u);
    EXPECT_EQ(out.References()[0].data, first) << "the reference points at the caller's block";

    out.Align();
    first[1] = 0xEE; // changed after appending: the file must show the caller's current bytes
    EXPECT_EQ(StreamHex(out), "A1 EE F0 B1 10 20");
}
