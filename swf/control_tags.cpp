#include "swf/control_tags.h"

#include "swf/stream.h"

#include <algorithm>

namespace {
constexpr uint16_t kShowFrame = 1;
constexpr uint16_t kSetBackgroundColor = 9;
constexpr uint16_t kPlaceObject2 = 26;
constexpr uint16_t kRemoveObject2 = 28;
constexpr int32_t kNeutralMultiply = 256; // 1.0 in 8.8 fixed point
constexpr uint32_t kMaxTermBits = 15;

uint32_t PairBits(int32_t a, int32_t b) {
    return BitsNeeded(MaxMagnitude(a, b, 0, 0), 1);
}
} // namespace

FMatrix::FMatrix(int32_t hasScale, int32_t scaleX, int32_t scaleY, int32_t hasRotate,
                 int32_t rotateSkew0, int32_t rotateSkew1, int32_t translateX, int32_t translateY)
    : hasScale(hasScale), scaleBits(static_cast<int32_t>(PairBits(scaleX, scaleY))), scaleX(scaleX),
      scaleY(scaleY), hasRotate(hasRotate),
      rotateBits(static_cast<int32_t>(PairBits(rotateSkew0, rotateSkew1))),
      rotateSkew0(rotateSkew0), rotateSkew1(rotateSkew1),
      translateBits(static_cast<int32_t>(PairBits(translateX, translateY))), translateX(translateX),
      translateY(translateY) {}

void FMatrix::WriteTo(FSWFStream& out) const {
    out.PutBits(hasScale != 0 ? 1 : 0, 1);
    if (hasScale != 0) {
        out.PutBitCount(static_cast<uint32_t>(scaleBits), 5);
        out.PutBits(static_cast<uint32_t>(scaleX), scaleBits);
        out.PutBits(static_cast<uint32_t>(scaleY), scaleBits);
    }
    out.PutBits(hasRotate != 0 ? 1 : 0, 1);
    if (hasRotate != 0) {
        out.PutBitCount(static_cast<uint32_t>(rotateBits), 5);
        out.PutBits(static_cast<uint32_t>(rotateSkew0), rotateBits);
        out.PutBits(static_cast<uint32_t>(rotateSkew1), rotateBits);
    }
    out.PutBitCount(static_cast<uint32_t>(translateBits), 5);
    out.PutBits(static_cast<uint32_t>(translateX), translateBits);
    out.PutBits(static_cast<uint32_t>(translateY), translateBits);
    out.Align();
}

FCXForm::FCXForm(int32_t hasAdd, int32_t hasMult, int32_t multRed, int32_t multGreen,
                 int32_t multBlue, int32_t addRed, int32_t addGreen, int32_t addBlue)
    : hasAdd(hasAdd), hasMult(hasMult),
      termBits(
          static_cast<int32_t>(BitsNeeded(std::max(MaxMagnitude(multRed, multGreen, multBlue, 0),
                                                   MaxMagnitude(addRed, addGreen, addBlue, 0)),
                                          1))),
      multRed(multRed), multGreen(multGreen), multBlue(multBlue), addRed(addRed),
      addGreen(addGreen), addBlue(addBlue) {}

void FCXForm::WriteTo(FSWFStream& out) const {
    Write(out, static_cast<uint32_t>(termBits), false);
}

void FCXForm::WriteWithAlphaTo(FSWFStream& out) const {
    Write(out, TermBitsWithAlpha(), true);
}

uint32_t FCXForm::TermBitsWithAlpha() const {
    const uint32_t neutralBits = hasMult != 0 ? BitsNeeded(kNeutralMultiply, 1) : 0;
    return std::max(static_cast<uint32_t>(termBits), neutralBits);
}

void FCXForm::Write(FSWFStream& out, uint32_t bits, bool withAlpha) const {
    out.PutBits(hasAdd != 0 ? 1 : 0, 1);
    out.PutBits(hasMult != 0 ? 1 : 0, 1);
    out.PutBits(bits, 4);
    if (hasMult != 0) {
        out.PutBits(static_cast<uint32_t>(multRed), bits);
        out.PutBits(static_cast<uint32_t>(multGreen), bits);
        out.PutBits(static_cast<uint32_t>(multBlue), bits);
        if (withAlpha) {
            out.PutBits(kNeutralMultiply, bits);
        }
    }
    if (hasAdd != 0) {
        out.PutBits(static_cast<uint32_t>(addRed), bits);
        out.PutBits(static_cast<uint32_t>(addGreen), bits);
        out.PutBits(static_cast<uint32_t>(addBlue), bits);
        if (withAlpha) {
            out.PutBits(0, bits);
        }
    }
    out.Align();
}

FCTSetBackgroundColor::FCTSetBackgroundColor(FColor* color) : color(color) {
    color->hasAlpha = false;
}

FCTSetBackgroundColor::~FCTSetBackgroundColor() {
    delete color;
}

void FCTSetBackgroundColor::WriteTo(FSWFStream& out) {
    FSWFStream body;
    color->WriteTo(body);
    out.PutTag(kSetBackgroundColor, static_cast<uint32_t>(body.TotalSize()), &body);
}

void FCTShowFrame::WriteTo(FSWFStream& out) {
    out.PutTag(kShowFrame, 0, nullptr);
}

void FCTRemoveObject2::WriteTo(FSWFStream& out) {
    FSWFStream body;
    body.PutU16(depth);
    out.PutTag(kRemoveObject2, static_cast<uint32_t>(body.TotalSize()), &body);
}

FCTPlaceObject2::FCTPlaceObject2(uint16_t hasClipDepth, uint16_t hasRatio, uint16_t hasCharacter,
                                 uint16_t move, uint16_t depth, uint16_t characterId,
                                 FMatrix* matrix, FACXForm* colorTransform, uint16_t ratio,
                                 FString* name, uint16_t clipDepth)
    : hasClipDepth(hasClipDepth), hasRatio(hasRatio), hasCharacter(hasCharacter), move(move),
      depth(depth), characterId(characterId), matrix(matrix), colorTransform(colorTransform),
      ratio(ratio), name(name), clipDepth(clipDepth) {}

FCTPlaceObject2::~FCTPlaceObject2() {
    delete name;
    delete matrix;
    delete colorTransform;
}

bool FCTPlaceObject2::ExceedsFormatLimits() const {
    return colorTransform != nullptr && colorTransform->TermBitsWithAlpha() > kMaxTermBits;
}

void FCTPlaceObject2::WriteTo(FSWFStream& out) {
    FSWFStream body;
    body.PutBits(0, 1); // no clip actions
    body.PutBits(hasClipDepth & 1u, 1);
    body.PutBits(name != nullptr ? 1 : 0, 1);
    body.PutBits(hasRatio & 1u, 1);
    body.PutBits(colorTransform != nullptr ? 1 : 0, 1);
    body.PutBits(matrix != nullptr ? 1 : 0, 1);
    body.PutBits(hasCharacter & 1u, 1);
    body.PutBits(move & 1u, 1);
    body.PutU16(depth);
    if ((hasCharacter & 1u) != 0) {
        body.PutU16(characterId);
    }
    if (matrix != nullptr) {
        matrix->WriteTo(body);
    }
    if (colorTransform != nullptr) {
        colorTransform->WriteWithAlphaTo(body);
    }
    if ((hasRatio & 1u) != 0) {
        body.PutU16(ratio);
    }
    if (name != nullptr) {
        name->WriteTo(body, true);
    }
    if ((hasClipDepth & 1u) != 0) {
        body.PutU16(clipDepth);
    }
    out.PutTag(kPlaceObject2, static_cast<uint32_t>(body.TotalSize()), &body);
}
