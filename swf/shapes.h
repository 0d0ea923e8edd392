#pragma once

#include "swf/objects.h"
#include "swf/records.h"
#include "swf/shape_records.h"

#include <cstdint>
#include <vector>

class FSWFStream;

// Fill styles. Each style owns the colour or matrix it is given.
class FAFillStyle {
public:
    virtual ~FAFillStyle() = default;
    virtual void WriteTo(FSWFStream& out) const = 0;
};

class FFillStyle : public FAFillStyle {};

// Solid fill, written as type 0x00 and an RGB colour (shape definitions carry no alpha).
class FFillStyleSolid : public FFillStyle {
public:
    explicit FFillStyleSolid(FColor* color);
    ~FFillStyleSolid() override;
    FFillStyleSolid(const FFillStyleSolid&) = delete;
    FFillStyleSolid& operator=(const FFillStyleSolid&) = delete;
    void WriteTo(FSWFStream& out) const override;

private:
    FColor* color;
};

class FALineStyle {
public:
    virtual ~FALineStyle() = default;
    virtual void WriteTo(FSWFStream& out) const = 0;
};

// Line of a width in twips and an RGB colour.
class FLineStyle : public FALineStyle {
public:
    FLineStyle(uint16_t width, FColor* color);
    ~FLineStyle() override;
    FLineStyle(const FLineStyle&) = delete;
    FLineStyle& operator=(const FLineStyle&) = delete;
    void WriteTo(FSWFStream& out) const override;

private:
    uint16_t width;
    FColor* color;
};

// Counted style arrays: one count byte below 255, else 0xFF and a 16-bit count. Own their styles.
class FFillStyleArray {
public:
    FFillStyleArray() = default;
    virtual ~FFillStyleArray();
    FFillStyleArray(const FFillStyleArray&) = delete;
    FFillStyleArray& operator=(const FFillStyleArray&) = delete;
    // Returns the new count, which is the 1-based index of the style.
    uint32_t Add(FAFillStyle* style);
    uint32_t Count() const { return static_cast<uint32_t>(styles.size()); }
    virtual void WriteTo(FSWFStream& out) const;

private:
    std::vector<FAFillStyle*> styles;
};

class FLineStyleArray {
public:
    FLineStyleArray() = default;
    ~FLineStyleArray();
    FLineStyleArray(const FLineStyleArray&) = delete;
    FLineStyleArray& operator=(const FLineStyleArray&) = delete;
    uint32_t Add(FALineStyle* style);
    uint32_t Count() const { return static_cast<uint32_t>(styles.size()); }
    void WriteTo(FSWFStream& out) const;

private:
    std::vector<FALineStyle*> styles;
};

// A record list with its own index widths (glyph outlines, morph edges). Owns its records.
class FShape {
public:
    FShape() = default;
    virtual ~FShape();
    FShape(const FShape&) = delete;
    FShape& operator=(const FShape&) = delete;

    void SetFillBitWidth(uint32_t width) { fillBitWidth = width; }
    void SetLineBitWidth(uint32_t width) { lineBitWidth = width; }
    uint32_t FillBitWidth() const { return fillBitWidth; }
    uint32_t LineBitWidth() const { return lineBitWidth; }
    void AddRecord(FShapeRec* record) { records.push_back(record); }
    const std::vector<FShapeRec*>& Records() const { return records; }

    // The two widths in 4 bits each, then the records. The last record is expected to be an
    // FShapeRecEnd, which aligns; the shape does not align by itself.
    virtual void WriteTo(FSWFStream& out);
    // The same with a number of pieces per record (see FShapeRec::EdgePieces).
    void WriteTo(FSWFStream& out, const std::vector<uint32_t>& pieces);

private:
    uint32_t fillBitWidth = 0;
    uint32_t lineBitWidth = 0;
    std::vector<FShapeRec*> records;
};

// Style arrays plus records; the index widths follow from the style counts. Owns everything.
class FShapeWStyle {
public:
    FShapeWStyle(FFillStyleArray* fillStyles, FLineStyleArray* lineStyles);
    ~FShapeWStyle();
    FShapeWStyle(const FShapeWStyle&) = delete;
    FShapeWStyle& operator=(const FShapeWStyle&) = delete;

    uint32_t FillBitWidth() const { return fillBitWidth; }
    uint32_t LineBitWidth() const { return lineBitWidth; }
    void AddRecord(FShapeRec* record) { records.push_back(record); }
    void WriteTo(FSWFStream& out) const;

private:
    FFillStyleArray* fillStyles;
    FLineStyleArray* lineStyles;
    uint32_t fillBitWidth;
    uint32_t lineBitWidth;
    std::vector<FShapeRec*> records;
};

// DefineShape. Calling order: constructor, fills and lines, CloseStyleArrays, records ending
// with an FShapeRecEnd. Owns bounds, styles and records.
class FDTDefineShape : public FDT {
public:
    explicit FDTDefineShape(FRect* bounds);
    ~FDTDefineShape() override;
    FDTDefineShape(const FDTDefineShape&) = delete;
    FDTDefineShape& operator=(const FDTDefineShape&) = delete;

    // Each returns the 1-based index of the new style (0 if the styles were already closed).
    uint32_t AddSolidFill(FColor* color);
    uint32_t AddFill(FFillStyle* style);
    uint32_t AddLine(uint16_t width, FColor* color);
    void CloseStyleArrays();
    void AddRecord(FShapeRec* record);

    uint16_t CharacterId() const override { return characterId; }
    void WriteTo(FSWFStream& out) override;

private:
    uint16_t characterId;
    FRect* bounds;
    FShapeWStyle* shapeWithStyle = nullptr;
    FFillStyleArray* fillStyles;
    FLineStyleArray* lineStyles;
    bool styleArraysFinished = false;
};
