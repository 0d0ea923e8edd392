#pragma once

#include "swf/objects.h"
#include "swf/records.h"
#include "swf/shapes.h"

#include <cstdint>

class FSWFStream;

// Fill style of a morph shape.
class FMorphFillStyle : public FAFillStyle {
public:
    void WriteTo(FSWFStream&) const override {}
};

// Solid morph fill from startColor to endColor (owned). The morph fill record holds RGBA colours,
// so both are written with alpha whichever form they were built with (RGB means opaque).
class FMorphFillStyleSolid : public FMorphFillStyle {
public:
    FMorphFillStyleSolid(FColor* startColor, FColor* endColor);
    ~FMorphFillStyleSolid() override;
    FMorphFillStyleSolid(const FMorphFillStyleSolid&) = delete;
    FMorphFillStyleSolid& operator=(const FMorphFillStyleSolid&) = delete;
    void WriteTo(FSWFStream& out) const override;

private:
    FColor* startColor;
    FColor* endColor;
};

// DefineMorphShape: a start and an end shape with the same edges, interpolated by the player.
// Calling order as for FDTDefineShape: fills, CloseStyleArrays, then start and end records, each
// shape ending with an FShapeRecEnd. Owns the rectangles, styles and records.
class FDTDefineMorphShape : public FDT {
public:
    FDTDefineMorphShape(FRect* startBounds, FRect* endBounds);
    ~FDTDefineMorphShape() override;
    FDTDefineMorphShape(const FDTDefineMorphShape&) = delete;
    FDTDefineMorphShape& operator=(const FDTDefineMorphShape&) = delete;

    // Returns the 1-based index of the fill (0 if the styles were already closed).
    uint32_t AddFill(FMorphFillStyle* style);
    void CloseStyleArrays();
    void AddStartRecord(FShapeRec* record);
    void AddEndRecord(FShapeRec* record);

    uint16_t CharacterId() const override { return characterId; }
    void WriteTo(FSWFStream& out) override;

private:
    uint16_t characterId;
    FRect* startBounds;
    FRect* endBounds;
    FShape startShape;
    FShape endShape;
    FFillStyleArray* fillStyles;
    FLineStyleArray* lineStyles;
    uint32_t fillBitWidth = 0;
    uint32_t lineBitWidth = 0;
    bool styleArraysFinished = false;
};
