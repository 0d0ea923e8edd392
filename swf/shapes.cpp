#include "swf/shapes.h"

#include "swf/stream.h"
#include "swf/swf_assert.h"

namespace {

constexpr uint16_t kDefineShape = 2;
constexpr const char* kSource = "FDTShapes";

void WriteStyleCount(FSWFStream& out, uint32_t count) {
    if (count < 0xFF) {
        out.PutByte(static_cast<uint8_t>(count));
    } else {
        out.PutByte(0xFF);
        out.PutU16(static_cast<uint16_t>(count));
    }
}

} // namespace

FFillStyleSolid::FFillStyleSolid(FColor* color) : color(color) {
    color->hasAlpha = false;
}

FFillStyleSolid::~FFillStyleSolid() {
    delete color;
}

void FFillStyleSolid::WriteTo(FSWFStream& out) const {
    out.PutByte(0x00);
    color->WriteTo(out);
}

FLineStyle::FLineStyle(uint16_t width, FColor* color) : width(width), color(color) {
    color->hasAlpha = false;
}

FLineStyle::~FLineStyle() {
    delete color;
}

void FLineStyle::WriteTo(FSWFStream& out) const {
    out.PutU16(width);
    color->WriteTo(out);
}

FFillStyleArray::~FFillStyleArray() {
    for (FAFillStyle* style : styles) {
        delete style;
    }
}

uint32_t FFillStyleArray::Add(FAFillStyle* style) {
    styles.push_back(style);
    return Count();
}

void FFillStyleArray::WriteTo(FSWFStream& out) const {
    WriteStyleCount(out, Count());
    for (const FAFillStyle* style : styles) {
        style->WriteTo(out);
    }
}

FLineStyleArray::~FLineStyleArray() {
    for (FALineStyle* style : styles) {
        delete style;
    }
}

uint32_t FLineStyleArray::Add(FALineStyle* style) {
    styles.push_back(style);
    return Count();
}

void FLineStyleArray::WriteTo(FSWFStream& out) const {
    WriteStyleCount(out, Count());
    for (const FALineStyle* style : styles) {
        style->WriteTo(out);
    }
}

FShape::~FShape() {
    for (FShapeRec* record : records) {
        delete record;
    }
}

void FShape::WriteTo(FSWFStream& out) {
    out.PutBits(fillBitWidth, 4);
    out.PutBits(lineBitWidth, 4);
    WriteShapeRecords(out, records, fillBitWidth, lineBitWidth);
}

void FShape::WriteTo(FSWFStream& out, const std::vector<uint32_t>& pieces) {
    out.PutBits(fillBitWidth, 4);
    out.PutBits(lineBitWidth, 4);
    WriteShapeRecords(out, records, fillBitWidth, lineBitWidth, &pieces);
}

FShapeWStyle::FShapeWStyle(FFillStyleArray* fillStyles, FLineStyleArray* lineStyles)
    : fillStyles(fillStyles), lineStyles(lineStyles),
      fillBitWidth(BitsNeeded(fillStyles->Count(), 0)),
      lineBitWidth(BitsNeeded(lineStyles->Count(), 0)) {}

FShapeWStyle::~FShapeWStyle() {
    delete fillStyles;
    delete lineStyles;
    for (FShapeRec* record : records) {
        delete record;
    }
}

void FShapeWStyle::WriteTo(FSWFStream& out) const {
    fillStyles->WriteTo(out);
    lineStyles->WriteTo(out);
    out.PutBits(fillBitWidth, 4);
    out.PutBits(lineBitWidth, 4);
    WriteShapeRecords(out, records, fillBitWidth, lineBitWidth);
    out.Align();
}

FDTDefineShape::FDTDefineShape(FRect* bounds)
    : characterId(NextCharacterId()), bounds(bounds), fillStyles(new FFillStyleArray),
      lineStyles(new FLineStyleArray) {}

FDTDefineShape::~FDTDefineShape() {
    delete bounds;
    delete shapeWithStyle;
    delete fillStyles;
    delete lineStyles;
}

uint32_t FDTDefineShape::AddSolidFill(FColor* color) {
    return AddFill(new FFillStyleSolid(color));
}

uint32_t FDTDefineShape::AddFill(FFillStyle* style) {
    SWF_ASSERT(!styleArraysFinished, kSource);
    if (styleArraysFinished) {
        // The index widths are fixed already; a late style cannot be referenced.
        delete style;
        return 0;
    }
    return fillStyles->Add(style);
}

uint32_t FDTDefineShape::AddLine(uint16_t width, FColor* color) {
    SWF_ASSERT(!styleArraysFinished, kSource);
    if (styleArraysFinished) {
        delete color;
        return 0;
    }
    return lineStyles->Add(new FLineStyle(width, color));
}

void FDTDefineShape::CloseStyleArrays() {
    if (styleArraysFinished) {
        return;
    }
    styleArraysFinished = true;
    shapeWithStyle = new FShapeWStyle(fillStyles, lineStyles);
    fillStyles = nullptr;
    lineStyles = nullptr;
}

void FDTDefineShape::AddRecord(FShapeRec* record) {
    SWF_ASSERT(styleArraysFinished, kSource);
    CloseStyleArrays(); // without checks, records still get well-defined index widths
    record->SetFillBitWidth(shapeWithStyle->FillBitWidth());
    record->SetLineBitWidth(shapeWithStyle->LineBitWidth());
    shapeWithStyle->AddRecord(record);
}

void FDTDefineShape::WriteTo(FSWFStream& out) {
    CloseStyleArrays();
    FSWFStream body;
    body.PutU16(characterId);
    bounds->WriteTo(body);
    shapeWithStyle->WriteTo(body);
    out.PutTag(kDefineShape, static_cast<uint32_t>(body.TotalSize()), &body);
}
