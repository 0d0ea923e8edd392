#pragma once

#include "swf/objects.h"
#include "swf/records.h"

#include <cstdint>

class FSWFStream;

// Transformation matrix: scale and rotate/skew in 16.16 fixed point, translation in twips.
// The three bit widths are computed once, whether or not the pair is present.
struct FMatrix {
    FMatrix(int32_t hasScale, int32_t scaleX, int32_t scaleY, int32_t hasRotate,
            int32_t rotateSkew0, int32_t rotateSkew1, int32_t translateX, int32_t translateY);
    // Ends byte-aligned.
    void WriteTo(FSWFStream& out) const;

    int32_t hasScale;
    int32_t scaleBits;
    int32_t scaleX;
    int32_t scaleY;
    int32_t hasRotate;
    int32_t rotateBits;
    int32_t rotateSkew0;
    int32_t rotateSkew1;
    int32_t translateBits;
    int32_t translateX;
    int32_t translateY;
};

// Colour transform.
class FACXForm {
public:
    virtual ~FACXForm() = default;
    // The record without alpha terms.
    virtual void WriteTo(FSWFStream& out) const = 0;
    // The record with alpha terms, as placements need it.
    virtual void WriteWithAlphaTo(FSWFStream& out) const = 0;
    // Bit width of the terms as written with alpha; the record's field holds at most 15.
    virtual uint32_t TermBitsWithAlpha() const = 0;
};

// Red, green and blue terms in 8.8 fixed point (256 = 1.0). Written with alpha terms it leaves
// alpha unchanged (multiply 1.0, add 0).
class FCXForm : public FACXForm {
public:
    FCXForm(int32_t hasAdd, int32_t hasMult, int32_t multRed, int32_t multGreen, int32_t multBlue,
            int32_t addRed, int32_t addGreen, int32_t addBlue);
    void WriteTo(FSWFStream& out) const override;
    void WriteWithAlphaTo(FSWFStream& out) const override;
    uint32_t TermBitsWithAlpha() const override;

private:
    void Write(FSWFStream& out, uint32_t bits, bool withAlpha) const;

    int32_t hasAdd;
    int32_t hasMult;
    int32_t termBits;
    int32_t multRed;
    int32_t multGreen;
    int32_t multBlue;
    int32_t addRed;
    int32_t addGreen;
    int32_t addBlue;
};

// Background colour, always written as RGB. Owns color.
class FCTSetBackgroundColor : public FCT {
public:
    explicit FCTSetBackgroundColor(FColor* color);
    ~FCTSetBackgroundColor() override;
    void WriteTo(FSWFStream& out) override;

private:
    FColor* color;
};

// Closes a frame; the only tag that counts as one.
class FCTShowFrame : public FCT {
public:
    void WriteTo(FSWFStream& out) override;
    bool EndsFrame() const override { return true; }
};

class FCTRemoveObject2 : public FCT {
public:
    explicit FCTRemoveObject2(uint16_t depth) : depth(depth) {}
    void WriteTo(FSWFStream& out) override;

private:
    uint16_t depth;
};

// Places or modifies a character on the display list. Owns matrix, colorTransform and name
// (each may be null). Of the four flags only the lowest bit is written. A colour transform is
// written in the form with alpha terms that placements carry.
class FCTPlaceObject2 : public FCT {
public:
    FCTPlaceObject2(uint16_t hasClipDepth, uint16_t hasRatio, uint16_t hasCharacter, uint16_t move,
                    uint16_t depth, uint16_t characterId, FMatrix* matrix, FACXForm* colorTransform,
                    uint16_t ratio, FString* name, uint16_t clipDepth);
    ~FCTPlaceObject2() override;
    void WriteTo(FSWFStream& out) override;
    bool ExceedsFormatLimits() const override;

private:
    uint16_t hasClipDepth;
    uint16_t hasRatio;
    uint16_t hasCharacter;
    uint16_t move;
    uint16_t depth;
    uint16_t characterId;
    FMatrix* matrix;
    FACXForm* colorTransform;
    uint16_t ratio;
    FString* name;
    uint16_t clipDepth;
};
