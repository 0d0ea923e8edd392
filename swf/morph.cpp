#include "swf/morph.h"

#include "swf/stream.h"
#include "swf/swf_assert.h"

#include <algorithm>

namespace {
constexpr uint16_t kDefineMorphShape = 46;
constexpr const char* kSource = "FDTShapes";

std::vector<uint32_t> EdgePieces(const FShape& shape) {
    std::vector<uint32_t> pieces;
    for (const FShapeRec* record : shape.Records()) {
        pieces.push_back(record->EdgePieces());
    }
    return pieces;
}
} // namespace

FMorphFillStyleSolid::FMorphFillStyleSolid(FColor* startColor, FColor* endColor)
    : startColor(startColor), endColor(endColor) {
    startColor->hasAlpha = true;
    endColor->hasAlpha = true;
}

FMorphFillStyleSolid::~FMorphFillStyleSolid() {
    delete startColor;
    delete endColor;
}

void FMorphFillStyleSolid::WriteTo(FSWFStream& out) const {
    out.PutByte(0x00);
    startColor->WriteTo(out);
    endColor->WriteTo(out);
}

FDTDefineMorphShape::FDTDefineMorphShape(FRect* startBounds, FRect* endBounds)
    : characterId(NextCharacterId()), startBounds(startBounds), endBounds(endBounds),
      fillStyles(new FFillStyleArray), lineStyles(new FLineStyleArray) {}

FDTDefineMorphShape::~FDTDefineMorphShape() {
    delete startBounds;
    delete endBounds;
    delete fillStyles;
    delete lineStyles;
}

uint32_t FDTDefineMorphShape::AddFill(FMorphFillStyle* style) {
    SWF_ASSERT(!styleArraysFinished, kSource);
    if (styleArraysFinished) {
        delete style;
        return 0;
    }
    return fillStyles->Add(style);
}

void FDTDefineMorphShape::CloseStyleArrays() {
    if (styleArraysFinished) {
        return;
    }
    styleArraysFinished = true;
    fillBitWidth = BitsNeeded(fillStyles->Count(), 0);
    lineBitWidth = BitsNeeded(lineStyles->Count(), 0);
    startShape.SetFillBitWidth(fillBitWidth);
    startShape.SetLineBitWidth(lineBitWidth);
}

void FDTDefineMorphShape::AddStartRecord(FShapeRec* record) {
    SWF_ASSERT(styleArraysFinished, kSource);
    CloseStyleArrays();
    startShape.AddRecord(record);
}

void FDTDefineMorphShape::AddEndRecord(FShapeRec* record) {
    SWF_ASSERT(styleArraysFinished, kSource);
    CloseStyleArrays();
    record->SetFillBitWidth(0);
    record->SetLineBitWidth(0);
    endShape.AddRecord(record);
}

void FDTDefineMorphShape::WriteTo(FSWFStream& out) {
    CloseStyleArrays();
    // An edge split because it is too long is split alike in both shapes, so that start and
    // end keep matching edge for edge.
    std::vector<uint32_t> startPieces = EdgePieces(startShape);
    std::vector<uint32_t> endPieces = EdgePieces(endShape);
    for (size_t i = 0; i < std::min(startPieces.size(), endPieces.size()); ++i) {
        if (startPieces[i] != 0 && endPieces[i] != 0) {
            startPieces[i] = endPieces[i] = std::max(startPieces[i], endPieces[i]);
        }
    }

    FSWFStream body;
    body.PutU16(characterId);
    startBounds->WriteTo(body);
    endBounds->WriteTo(body);

    FSWFStream styledStart;
    fillStyles->WriteTo(styledStart);
    lineStyles->WriteTo(styledStart);
    startShape.WriteTo(styledStart, startPieces);

    // Offset from the end of this field to the end edges.
    body.PutU32(static_cast<uint32_t>(styledStart.TotalSize()));
    body.AppendStream(styledStart);
    endShape.WriteTo(body, endPieces);
    out.PutTag(kDefineMorphShape, static_cast<uint32_t>(body.TotalSize()), &body);
}
