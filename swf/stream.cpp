#include "swf/stream.h"

#include <algorithm>
#include <bit>

FSWFStream::FSWFStream() {
    bytes.reserve(1024);
    bytes.push_back(0);
}

void FSWFStream::CompleteByte() {
    bytes[bytePos] = currentByte;
    ++bytePos;
    bytes.push_back(0);
    currentByte = 0;
    bitsFree = 8;
}

void FSWFStream::PutBits(uint32_t value, uint32_t width) {
    if (width > 32) {
        overflowed = true;
        width = 32;
    }
    while (width > 0) {
        // Left-justify the remaining bits, then take as many as the current byte can hold.
        const uint32_t justified = value << (32 - width);
        currentByte |= static_cast<uint8_t>(justified >> (32 - bitsFree));
        if (width > bitsFree) {
            width -= bitsFree;
            CompleteByte();
        } else {
            bitsFree -= width;
            width = 0;
            if (bitsFree == 0) {
                CompleteByte();
            }
        }
    }
}

void FSWFStream::PutBitCount(uint32_t bits, uint32_t width) {
    if (width < 32 && bits >> width != 0) {
        overflowed = true;
    }
    PutBits(bits, width);
}

void FSWFStream::PutByte(uint8_t value) {
    if (bitsFree == 8) {
        currentByte = value;
        CompleteByte();
    } else {
        PutBits(value, 8);
    }
}

void FSWFStream::PutU16(uint16_t value) {
    PutByte(static_cast<uint8_t>(value));
    PutByte(static_cast<uint8_t>(value >> 8));
}

void FSWFStream::PutU32(uint32_t value) {
    PutU16(static_cast<uint16_t>(value));
    PutU16(static_cast<uint16_t>(value >> 16));
}

void FSWFStream::Align() {
    if (bitsFree != 8) {
        CompleteByte();
    }
}

void FSWFStream::PutBlob(const uint8_t* data, uint32_t size) {
    largeData.push_back({bytePos, data, size});
}

void FSWFStream::AppendStream(FSWFStream& other) {
    uint32_t read = 0;
    auto copyUpTo = [&](uint32_t end) {
        if (bitsFree == 8) {
            // Byte-aligned: the bytes go in one piece.
            bytes.insert(bytes.begin() + bytePos, other.bytes.begin() + read,
                         other.bytes.begin() + end);
            bytePos += end - read;
            read = end;
        } else {
            for (; read < end; ++read) {
                PutByte(other.bytes[read]);
            }
        }
    };
    for (const LargeData& ref : other.largeData) {
        copyUpTo(ref.position);
        PutBlob(ref.data, ref.size);
    }
    other.largeData.clear();
    copyUpTo(other.bytePos);
    overflowed = overflowed || other.overflowed;
}

void FSWFStream::PutTag(uint16_t code, uint32_t length, FSWFStream* body) {
    const uint32_t shortLength = std::min<uint32_t>(length, 63);
    PutU16(static_cast<uint16_t>(code * 64 + shortLength));
    if (length > 62) {
        PutU32(length);
    }
    if (body != nullptr) {
        AppendStream(*body);
    }
}

uint64_t FSWFStream::TotalSize() const {
    uint64_t total = bytePos;
    for (const LargeData& ref : largeData) {
        total += ref.size;
    }
    return total;
}

bool FSWFStream::WriteOut(std::FILE* file) {
    return WriteOut([file](const uint8_t* data, size_t size) {
        return std::fwrite(data, 1, size, file) == size;
    });
}

bool FSWFStream::WriteOut(const FByteSink& sink) {
    bool ok = true;
    auto write = [&](const uint8_t* data, size_t size) {
        if (ok && size > 0 && !sink(data, size)) {
            ok = false;
        }
    };
    uint32_t written = 0;
    for (const LargeData& ref : largeData) {
        write(bytes.data() + written, ref.position - written);
        write(ref.data, ref.size);
        written = ref.position;
    }
    largeData.clear();
    write(bytes.data() + written, bytePos - written);
    return ok;
}

uint32_t BitsNeeded(uint32_t magnitude, uint16_t signBits) {
    return signBits + static_cast<uint32_t>(std::bit_width(magnitude));
}

uint32_t MaxMagnitude(int32_t a, int32_t b, int32_t c, int32_t d) {
    auto magnitude = [](int32_t v) {
        return v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
    };
    return std::max({magnitude(a), magnitude(b), magnitude(c), magnitude(d)});
}
