#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

// Takes the next bytes of a file being written; false when they could not be written.
using FByteSink = std::function<bool(const uint8_t* data, size_t size)>;

// Output stream of the SWF writer: a bit writer over a byte buffer, plus references to large
// external blocks (JPEG data) that are written straight from the caller's memory and never copied.
class FSWFStream {
public:
    struct LargeData {
        uint32_t position; // index of the buffer byte the block is inserted before
        const uint8_t* data;
        uint32_t size;
    };

    FSWFStream();

    // Appends the low `width` bits of value (width 0..32), most significant bit first. A wider
    // field cannot be written: 32 bits are, and the stream counts as overflowed.
    void PutBits(uint32_t value, uint32_t width);
    // Appends a field's bit count in a count field of `width` bits; a count too large for it
    // marks the stream as overflowed.
    void PutBitCount(uint32_t bits, uint32_t width);
    // True once a value did not fit its field: the stream's content is not a valid movie.
    bool Overflowed() const { return overflowed; }
    // Multi-byte values go low byte first; they do not align, so they may straddle bytes.
    void PutByte(uint8_t value);
    void PutU16(uint16_t value);
    void PutU32(uint32_t value);
    // Completes a partly filled byte with zero bits.
    void Align();
    // References an external block at the current byte position. The block must stay valid and
    // unchanged until this stream (or the one it is appended to) has been written out.
    void PutBlob(const uint8_t* data, uint32_t size);
    // Appends the completed bytes and references of other; other's references move here.
    void AppendStream(FSWFStream& other);
    // Tag header (short form below 63 bytes, long form otherwise) followed by the body, if any.
    void PutTag(uint16_t code, uint32_t length, FSWFStream* body);

    // Completed bytes plus the sizes of all referenced blocks; pending bits are not counted.
    uint64_t TotalSize() const;
    // Writes the content to the file; false if any write failed. Consumes the references.
    bool WriteOut(std::FILE* file);
    bool WriteOut(const FByteSink& write);

    // Completed bytes only (references excluded), for overwriting a reserved area.
    uint32_t BytePos() const { return bytePos; }
    uint8_t* Bytes() { return bytes.data(); }
    const uint8_t* Bytes() const { return bytes.data(); }
    const std::vector<LargeData>& References() const { return largeData; }
    uint32_t BitsFree() const { return bitsFree; }

private:
    void CompleteByte();

    std::vector<uint8_t> bytes;
    uint32_t bytePos = 0;
    uint32_t bitsFree = 8;
    uint8_t currentByte = 0;
    bool overflowed = false;
    std::vector<LargeData> largeData;
};

// signBits if magnitude is 0, else signBits plus the number of binary digits of magnitude.
uint32_t BitsNeeded(uint32_t magnitude, uint16_t signBits);
// The largest absolute value of the four (as unsigned, so INT32_MIN is handled).
uint32_t MaxMagnitude(int32_t a, int32_t b, int32_t c, int32_t d);
