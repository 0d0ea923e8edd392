#pragma once

#include <cstdint>
#include <vector>

class FSWFStream;
class FFillStyleArray;
class FLineStyleArray;

// A record of a shape's record list.
class FShapeRec {
public:
    virtual ~FShapeRec() = default;
    void WriteTo(FSWFStream& out) const { WritePieces(out, EdgePieces()); }
    // Style index widths; only the style-change record uses them.
    virtual void SetFillBitWidth(uint32_t width) = 0;
    virtual void SetLineBitWidth(uint32_t width) = 0;

    // Edges whose deltas do not fit the 17-bit edge fields are written as several shorter edges
    // along the same path. EdgePieces is how many (a power of two) an edge needs, 0 for records
    // that are not edges; WritePieces writes the record as that many pieces.
    virtual uint32_t EdgePieces() const { return 0; }
    virtual void WritePieces(FSWFStream& out, uint32_t pieces) const = 0;
    // A style-change record that brings new style arrays also brings new index widths, which
    // apply to the records after it.
    virtual bool NewStyleBitWidths(uint32_t& fillBits, uint32_t& lineBits) const {
        (void)fillBits;
        (void)lineBits;
        return false;
    }
};

// Style change: optional move, fill and line style indexes (1-based, 0 = none) and optional new
// style arrays (owned). Note the constructor takes fill style 1 before fill style 0, in bit order.
class FShapeRecChange : public FShapeRec {
public:
    FShapeRecChange(uint32_t newStyles, uint32_t hasLineStyle, uint32_t hasFillStyle1,
                    uint32_t hasFillStyle0, uint32_t hasMoveTo, int32_t moveDeltaX,
                    int32_t moveDeltaY, uint32_t fillStyle0, uint32_t fillStyle1,
                    uint32_t lineStyle, FFillStyleArray* newFillStyles,
                    FLineStyleArray* newLineStyles);
    ~FShapeRecChange() override;
    FShapeRecChange(const FShapeRecChange&) = delete;
    FShapeRecChange& operator=(const FShapeRecChange&) = delete;

    void SetFillBitWidth(uint32_t width) override { fillBitWidth = width; }
    void SetLineBitWidth(uint32_t width) override { lineBitWidth = width; }
    void WritePieces(FSWFStream& out, uint32_t pieces) const override;
    bool NewStyleBitWidths(uint32_t& fillBits, uint32_t& lineBits) const override;

    uint32_t MoveBits() const { return moveBits; }

private:
    uint32_t newStyles;
    uint32_t hasLineStyle;
    uint32_t hasFillStyle0;
    uint32_t hasFillStyle1;
    uint32_t hasMoveTo;
    uint32_t moveBits;
    uint32_t fillBitWidth = 0;
    uint32_t lineBitWidth = 0;
    int32_t moveDeltaX;
    int32_t moveDeltaY;
    uint32_t fillStyle0;
    uint32_t fillStyle1;
    uint32_t lineStyle;
    FFillStyleArray* newFillStyles;
    FLineStyleArray* newLineStyles;
};

// Straight edge by (dx, dy): general, horizontal or vertical (a (0, 0) edge is vertical).
class FShapeRecEdgeStraight : public FShapeRec {
public:
    FShapeRecEdgeStraight(int32_t dx, int32_t dy);
    void SetFillBitWidth(uint32_t) override {}
    void SetLineBitWidth(uint32_t) override {}
    uint32_t EdgePieces() const override;
    void WritePieces(FSWFStream& out, uint32_t pieces) const override;

    uint32_t ValueBits() const { return valueBits; }

private:
    uint32_t valueBits;
    int32_t generalLine = 0;
    int32_t deltaX = 0;
    int32_t deltaY = 0;
    int32_t verticalLine = 0;
    int32_t horizontalDeltaX = 0;
    int32_t verticalDeltaY = 0;
};

// Quadratic curve: control point and anchor point, each relative to the point before it.
class FShapeRecEdgeCurved : public FShapeRec {
public:
    FShapeRecEdgeCurved(int32_t controlDeltaX, int32_t controlDeltaY, int32_t anchorDeltaX,
                        int32_t anchorDeltaY);
    void SetFillBitWidth(uint32_t) override {}
    void SetLineBitWidth(uint32_t) override {}
    uint32_t EdgePieces() const override;
    void WritePieces(FSWFStream& out, uint32_t pieces) const override;

    uint32_t ValueBits() const { return valueBits; }

private:
    uint32_t valueBits;
    int32_t controlDeltaX;
    int32_t controlDeltaY;
    int32_t anchorDeltaX;
    int32_t anchorDeltaY;
};

// End of a shape: six zero bits, then byte alignment.
class FShapeRecEnd : public FShapeRec {
public:
    void SetFillBitWidth(uint32_t) override {}
    void SetLineBitWidth(uint32_t) override {}
    void WritePieces(FSWFStream& out, uint32_t pieces) const override;
};

// Writes records in order, telling each the current index widths first. pieces, when given,
// holds the number of pieces per record (morph shapes split start and end edges alike).
void WriteShapeRecords(FSWFStream& out, const std::vector<FShapeRec*>& records, uint32_t fillBits,
                       uint32_t lineBits, const std::vector<uint32_t>* pieces = nullptr);
