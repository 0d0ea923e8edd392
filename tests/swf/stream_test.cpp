#include "tests/swf/swf_test_util.h"

#include <climits>

TEST(SwfStreamTest, BitsAndValuesEncode) {
    using S = FSWFStream;
    ExpectGoldenBytes({
        {"bits from the top of the byte",
         [] { return WrittenHex([](S& s) { s.PutBits(5, 3), s.PutBits(1, 1); }); }, "B0"},
        {"a field across a byte boundary",
         [] { return WrittenHex([](S& s) { s.PutBits(0x1FF, 9); }); }, "FF 80"},
        {"32 bits, then a zero-width field",
         [] {
             return WrittenHex([](S& s) { s.PutBits(0xDEADBEEF, 32), s.PutBits(0xFFFFFFFF, 0); });
         },
         "DE AD BE EF"},
        // Negative values are their two's complement cut to the width; higher bits are dropped.
        {"negative and too wide values cut to the width",
         [] {
             return WrittenHex(
                 [](S& s) { s.PutBits(static_cast<uint32_t>(-100), 9), s.PutBits(0xF0, 4); });
         },
         "CE 00"},
        {"little-endian 16 and 32 bits",
         [] { return WrittenHex([](S& s) { s.PutU16(0x1234), s.PutU32(0xA1B2C3D4); }); },
         "34 12 D4 C3 B2 A1"},
        {"16 bits straddling bytes",
         [] { return WrittenHex([](S& s) { s.PutBits(1, 1), s.PutU16(0xFFFF); }); }, "FF FF 80"},
        {"an empty rectangle",
         [] { return WrittenHex([](S& s) { FRect(0, 0, 0, 0).WriteTo(s); }); }, "08 00"},
        // 12 bits each: 0, 2000, 0, 1000.
        {"a frame rectangle",
         [] { return WrittenHex([](S& s) { FRect(0, 0, 2000, 1000).WriteTo(s); }); },
         "60 00 3E 80 00 1F 40"},
        {"RGB keeps the low byte; RGBA adds alpha",
         [] {
             return WrittenHex(
                 [](S& s) { FColor(1, 2, 3).WriteTo(s), FColor(0x104, 5, 6, 7).WriteTo(s); });
         },
         "01 02 03 04 05 06 07"},
        {"strings with and without their zero",
         [] {
             return WrittenHex(
                 [](S& s) { FString("Ab").WriteTo(s, true), FString("c").WriteTo(s, false); });
         },
         "41 62 00 63"},
    });

    FSWFStream pending;
    pending.PutBits(0x1FF, 9);
    EXPECT_EQ(pending.BytePos(), 1u);
    EXPECT_EQ(pending.TotalSize(), 1u) << "pending bits are not counted";
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
