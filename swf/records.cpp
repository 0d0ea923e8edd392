#include "swf/records.h"

#include "swf/stream.h"

void FRect::WriteTo(FSWFStream& out) const {
    const uint32_t bits = BitsNeeded(MaxMagnitude(xMin, xMax, yMin, yMax), 1);
    out.PutBitCount(bits, 5);
    out.PutBits(static_cast<uint32_t>(xMin), bits);
    out.PutBits(static_cast<uint32_t>(xMax), bits);
    out.PutBits(static_cast<uint32_t>(yMin), bits);
    out.PutBits(static_cast<uint32_t>(yMax), bits);
    out.Align();
}

void FColor::WriteTo(FSWFStream& out) const {
    out.PutByte(static_cast<uint8_t>(red));
    out.PutByte(static_cast<uint8_t>(green));
    out.PutByte(static_cast<uint8_t>(blue));
    if (hasAlpha) {
        out.PutByte(static_cast<uint8_t>(alpha));
    }
}

void FString::WriteTo(FSWFStream& out, bool terminate) const {
    for (char c : text) {
        out.PutByte(static_cast<uint8_t>(c));
    }
    if (terminate) {
        out.PutByte(0);
    }
}
