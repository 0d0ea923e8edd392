#include "swf/shape_records.h"

#include "swf/shapes.h"
#include "swf/stream.h"

#include <algorithm>
#include <bit>

namespace {

// The edge records' bit count is a 4-bit field holding valueBits - 2.
constexpr uint32_t kMaxEdgeMagnitude = 0xFFFF;
// Room for the rounding of repeated halving when an edge is split.
constexpr uint32_t kSplitMagnitude = kMaxEdgeMagnitude - 64;

uint32_t EdgeValueBits(uint32_t magnitude) {
    return std::max(2u, BitsNeeded(magnitude, 1));
}

uint32_t PiecesFor(uint32_t magnitude) {
    if (magnitude <= kMaxEdgeMagnitude) {
        return 1;
    }
    uint32_t pieces = 2;
    while ((magnitude + pieces - 1) / pieces > kSplitMagnitude) {
        pieces *= 2;
    }
    return pieces;
}

void WriteStraight(FSWFStream& out, int32_t dx, int32_t dy) {
    const uint32_t bits = EdgeValueBits(MaxMagnitude(dx, dy, 0, 0));
    out.PutBits(1, 1); // edge
    out.PutBits(1, 1); // straight
    out.PutBits(bits - 2, 4);
    if (dx != 0 && dy != 0) {
        out.PutBits(1, 1); // general line
        out.PutBits(static_cast<uint32_t>(dx), bits);
        out.PutBits(static_cast<uint32_t>(dy), bits);
    } else if (dx != 0) {
        out.PutBits(0, 1);
        out.PutBits(0, 1); // horizontal
        out.PutBits(static_cast<uint32_t>(dx), bits);
    } else {
        out.PutBits(0, 1);
        out.PutBits(1, 1); // vertical
        out.PutBits(static_cast<uint32_t>(dy), bits);
    }
}

void WriteCurved(FSWFStream& out, int32_t cx, int32_t cy, int32_t ax, int32_t ay) {
    const uint32_t bits = EdgeValueBits(MaxMagnitude(cx, cy, ax, ay));
    out.PutBits(1, 1); // edge
    out.PutBits(0, 1); // curved
    out.PutBits(bits - 2, 4);
    out.PutBits(static_cast<uint32_t>(cx), bits);
    out.PutBits(static_cast<uint32_t>(cy), bits);
    out.PutBits(static_cast<uint32_t>(ax), bits);
    out.PutBits(static_cast<uint32_t>(ay), bits);
}

struct Point {
    int64_t x;
    int64_t y;
};

Point Mid(Point a, Point b) {
    // Floor division keeps the rounding consistent for negative coordinates.
    return {(a.x + b.x) >> 1, (a.y + b.y) >> 1};
}

// Splits the curve p0-p1-p2 in halves (de Casteljau) until depth runs out. Points are absolute,
// so every piece ends exactly where the next begins and the last ends at p2.
void WriteCurvedSplit(FSWFStream& out, Point p0, Point p1, Point p2, uint32_t depth) {
    if (depth == 0) {
        WriteCurved(out, static_cast<int32_t>(p1.x - p0.x), static_cast<int32_t>(p1.y - p0.y),
                    static_cast<int32_t>(p2.x - p1.x), static_cast<int32_t>(p2.y - p1.y));
        return;
    }
    const Point q = Mid(p0, p1);
    const Point r = Mid(p1, p2);
    const Point m = Mid(q, r);
    WriteCurvedSplit(out, p0, q, m, depth - 1);
    WriteCurvedSplit(out, m, r, p2, depth - 1);
}

} // namespace

FShapeRecChange::FShapeRecChange(uint32_t newStyles, uint32_t hasLineStyle, uint32_t hasFillStyle1,
                                 uint32_t hasFillStyle0, uint32_t hasMoveTo, int32_t moveDeltaX,
                                 int32_t moveDeltaY, uint32_t fillStyle0, uint32_t fillStyle1,
                                 uint32_t lineStyle, FFillStyleArray* newFillStyles,
                                 FLineStyleArray* newLineStyles)
    : newStyles(newStyles), hasLineStyle(hasLineStyle), hasFillStyle0(hasFillStyle0),
      hasFillStyle1(hasFillStyle1), hasMoveTo(hasMoveTo),
      moveBits(BitsNeeded(MaxMagnitude(moveDeltaX, moveDeltaY, 0, 0), 1)), moveDeltaX(moveDeltaX),
      moveDeltaY(moveDeltaY), fillStyle0(fillStyle0), fillStyle1(fillStyle1), lineStyle(lineStyle),
      newFillStyles(newFillStyles), newLineStyles(newLineStyles) {}

FShapeRecChange::~FShapeRecChange() {
    delete newFillStyles;
    delete newLineStyles;
}

bool FShapeRecChange::NewStyleBitWidths(uint32_t& fillBits, uint32_t& lineBits) const {
    if (newStyles == 0) {
        return false;
    }
    fillBits = BitsNeeded(newFillStyles != nullptr ? newFillStyles->Count() : 0, 0);
    lineBits = BitsNeeded(newLineStyles != nullptr ? newLineStyles->Count() : 0, 0);
    return true;
}

void FShapeRecChange::WritePieces(FSWFStream& out, uint32_t) const {
    out.PutBits(0, 1); // not an edge
    out.PutBits(newStyles, 1);
    out.PutBits(hasLineStyle, 1);
    out.PutBits(hasFillStyle1, 1);
    out.PutBits(hasFillStyle0, 1);
    out.PutBits(hasMoveTo, 1);
    if (hasMoveTo != 0) {
        out.PutBitCount(moveBits, 5);
        out.PutBits(static_cast<uint32_t>(moveDeltaX), moveBits);
        out.PutBits(static_cast<uint32_t>(moveDeltaY), moveBits);
    }
    if (hasFillStyle0 != 0) {
        out.PutBits(fillStyle0, fillBitWidth);
    }
    if (hasFillStyle1 != 0) {
        out.PutBits(fillStyle1, fillBitWidth);
    }
    if (hasLineStyle != 0) {
        out.PutBits(lineStyle, lineBitWidth);
    }
    if (newStyles != 0) {
        // The style arrays are byte-based, and the new index widths follow them.
        out.Align();
        FFillStyleArray emptyFills;
        FLineStyleArray emptyLines;
        (newFillStyles != nullptr ? newFillStyles : &emptyFills)->WriteTo(out);
        (newLineStyles != nullptr ? newLineStyles : &emptyLines)->WriteTo(out);
        uint32_t fillBits = 0;
        uint32_t lineBits = 0;
        NewStyleBitWidths(fillBits, lineBits);
        out.PutBits(fillBits, 4);
        out.PutBits(lineBits, 4);
    }
}

FShapeRecEdgeStraight::FShapeRecEdgeStraight(int32_t dx, int32_t dy) {
    if (dx != 0 && dy != 0) {
        generalLine = 1;
        deltaX = dx;
        deltaY = dy;
    } else if (dx != 0) {
        verticalLine = 0;
        horizontalDeltaX = dx;
    } else {
        verticalLine = 1;
        verticalDeltaY = dy;
    }
    valueBits = EdgeValueBits(MaxMagnitude(deltaX, deltaY, horizontalDeltaX, verticalDeltaY));
}

uint32_t FShapeRecEdgeStraight::EdgePieces() const {
    return PiecesFor(MaxMagnitude(deltaX, deltaY, horizontalDeltaX, verticalDeltaY));
}

void FShapeRecEdgeStraight::WritePieces(FSWFStream& out, uint32_t pieces) const {
    const int64_t dx = generalLine != 0 ? deltaX : horizontalDeltaX;
    const int64_t dy = generalLine != 0 ? deltaY : verticalDeltaY;
    pieces = std::max(pieces, 1u);
    for (uint32_t k = 0; k < pieces; ++k) {
        // Cumulative positions, so the pieces add up to the whole edge exactly.
        const int64_t x0 = dx * k / pieces;
        const int64_t x1 = dx * (k + 1) / pieces;
        const int64_t y0 = dy * k / pieces;
        const int64_t y1 = dy * (k + 1) / pieces;
        WriteStraight(out, static_cast<int32_t>(x1 - x0), static_cast<int32_t>(y1 - y0));
    }
}

FShapeRecEdgeCurved::FShapeRecEdgeCurved(int32_t controlDeltaX, int32_t controlDeltaY,
                                         int32_t anchorDeltaX, int32_t anchorDeltaY)
    : valueBits(
          EdgeValueBits(MaxMagnitude(controlDeltaX, controlDeltaY, anchorDeltaX, anchorDeltaY))),
      controlDeltaX(controlDeltaX), controlDeltaY(controlDeltaY), anchorDeltaX(anchorDeltaX),
      anchorDeltaY(anchorDeltaY) {}

uint32_t FShapeRecEdgeCurved::EdgePieces() const {
    return PiecesFor(MaxMagnitude(controlDeltaX, controlDeltaY, anchorDeltaX, anchorDeltaY));
}

void FShapeRecEdgeCurved::WritePieces(FSWFStream& out, uint32_t pieces) const {
    const Point p0{0, 0};
    const Point p1{controlDeltaX, controlDeltaY};
    const Point p2{p1.x + anchorDeltaX, p1.y + anchorDeltaY};
    const uint32_t depth = static_cast<uint32_t>(std::bit_width(std::max(pieces, 1u)) - 1);
    WriteCurvedSplit(out, p0, p1, p2, depth);
}

void FShapeRecEnd::WritePieces(FSWFStream& out, uint32_t) const {
    out.PutBits(0, 6);
    out.Align();
}

void WriteShapeRecords(FSWFStream& out, const std::vector<FShapeRec*>& records, uint32_t fillBits,
                       uint32_t lineBits, const std::vector<uint32_t>* pieces) {
    for (size_t i = 0; i < records.size(); ++i) {
        FShapeRec* record = records[i];
        record->SetFillBitWidth(fillBits);
        record->SetLineBitWidth(lineBits);
        const uint32_t count =
            pieces != nullptr && i < pieces->size() ? (*pieces)[i] : record->EdgePieces();
        record->WritePieces(out, count);
        record->NewStyleBitWidths(fillBits, lineBits);
    }
}
