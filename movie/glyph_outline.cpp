#include "movie/glyph_outline.h"

#include "model/project_text.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>

namespace {

// Outline coordinates are 26.6 fixed point; the whole-unit part rounds toward minus
// infinity, as a 16.16 value's integer word does.
int32_t WholeUnits(FT_Pos value) {
    return static_cast<int32_t>(value >> 6);
}

struct ContourConverter {
    int32_t cellHeight; // ascent + descent of the font at this size

    GlyphPoint Convert(int32_t x, int32_t y) const { return {x, cellHeight - y}; }
    GlyphPoint Convert(const FT_Vector& v) const {
        return Convert(WholeUnits(v.x), WholeUnits(v.y));
    }
};

enum class PointKind { On, Conic, Cubic };

PointKind KindOf(char tag) {
    switch (FT_CURVE_TAG(tag)) {
    case FT_CURVE_TAG_ON:
        return PointKind::On;
    case FT_CURVE_TAG_CONIC:
        return PointKind::Conic;
    default:
        return PointKind::Cubic;
    }
}

// Converts one contour. Runs of off-curve points become a quadratic spline whose
// implied anchors are the midpoints of neighbouring control points in whole units.
GlyphContour ConvertContour(const FT_Outline& outline, int first, int last,
                            const ContourConverter& cv) {
    struct RawPoint {
        FT_Vector v;
        PointKind kind;
    };
    std::vector<RawPoint> raw;
    for (int i = first; i <= last; ++i)
        raw.push_back({outline.points[i], KindOf(outline.tags[i])});

    // Start on an on-curve point: the first, else the last, else the midpoint of both.
    FT_Vector start;
    std::vector<RawPoint> rest;
    if (raw.front().kind == PointKind::On) {
        start = raw.front().v;
        rest.assign(raw.begin() + 1, raw.end());
    } else if (raw.back().kind == PointKind::On) {
        start = raw.back().v;
        rest.assign(raw.begin(), raw.end() - 1);
    } else {
        start.x = (raw.front().v.x + raw.back().v.x) / 2;
        start.y = (raw.front().v.y + raw.back().v.y) / 2;
        rest = raw;
    }
    rest.push_back({start, PointKind::On}); // the contour returns to its start

    GlyphContour contour;
    contour.start = cv.Convert(start);
    GlyphPoint current = contour.start;
    FT_Vector currentRaw = start;

    size_t i = 0;
    while (i < rest.size()) {
        if (rest[i].kind == PointKind::On) {
            if (i + 1 < rest.size()) { // the final return is the closing edge below
                GlyphPoint to = cv.Convert(rest[i].v);
                contour.edges.push_back({false, {}, to});
                current = to;
            }
            currentRaw = rest[i].v;
            ++i;
        } else if (rest[i].kind == PointKind::Conic) {
            // Spline of n points: the off-curve run plus the on-curve point ending it.
            size_t end = i;
            while (rest[end].kind == PointKind::Conic)
                ++end;
            size_t n = end - i + 1;
            for (size_t j = 0; j + 1 < n; ++j) {
                const FT_Vector& p = rest[i + j].v;
                const FT_Vector& q = rest[i + j + 1].v;
                GlyphPoint control = cv.Convert(p);
                GlyphPoint anchor;
                if (j == n - 2) {
                    anchor = cv.Convert(q);
                } else {
                    anchor = cv.Convert((WholeUnits(p.x) + WholeUnits(q.x)) / 2,
                                        (WholeUnits(p.y) + WholeUnits(q.y)) / 2);
                }
                contour.edges.push_back({true, control, anchor});
                current = anchor;
            }
            currentRaw = rest[end].v;
            i = end + 1;
        } else {
            // A cubic segment (CFF fonts): two quadratics, one per half of the curve.
            if (i + 2 >= rest.size())
                break;
            const FT_Vector p0 = currentRaw, c1 = rest[i].v, c2 = rest[i + 1].v, p3 = rest[i + 2].v;
            auto mid = [](FT_Vector a, FT_Vector b) {
                return FT_Vector{(a.x + b.x) / 2, (a.y + b.y) / 2};
            };
            FT_Vector a1 = mid(p0, c1), b1 = mid(c1, c2), c3 = mid(c2, p3);
            FT_Vector a2 = mid(a1, b1), b2 = mid(b1, c3);
            FT_Vector m = mid(a2, b2);
            auto quadControl = [](FT_Vector s, FT_Vector ca, FT_Vector cb, FT_Vector e) {
                return FT_Vector{(3 * (ca.x + cb.x) - s.x - e.x) / 4,
                                 (3 * (ca.y + cb.y) - s.y - e.y) / 4};
            };
            contour.edges.push_back({true, cv.Convert(quadControl(p0, a1, a2, m)), cv.Convert(m)});
            contour.edges.push_back({true, cv.Convert(quadControl(m, b2, c3, p3)), cv.Convert(p3)});
            current = cv.Convert(p3);
            currentRaw = p3;
            i += 3;
        }
    }
    if (!(current == contour.start))
        contour.edges.push_back({false, {}, contour.start});
    return contour;
}

// The glyph index of a character in a face; symbol faces list the 8-bit codes at 0xF000.
FT_UInt GlyphIndex(FT_Face face, bool unicode, char32_t character) {
    if (unicode)
        return FT_Get_Char_Index(face, character);
    const int32_t code = UnicodeToWindows1252(character);
    return code < 0 ? 0 : FT_Get_Char_Index(face, 0xF000u + static_cast<FT_ULong>(code));
}

} // namespace

struct GlyphFaceCache::Face {
    FT_Face face = nullptr;
    int32_t cellHeight = 0;  // ascent + descent in units of the 1000-high font
    FT_F26Dot6 charSize = 0; // the em size that makes the cell 1000 units high
    FT_F26Dot6 setSize = 0;  // the size the face is set to now
    bool unicode = false;
    ~Face() {
        if (face)
            FT_Done_Face(face);
    }
};

GlyphFaceCache::GlyphFaceCache() {
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) == 0)
        library_ = library;
}

GlyphFaceCache::~GlyphFaceCache() {
    openFiles_.clear();
    if (library_)
        FT_Done_FreeType(static_cast<FT_Library>(library_));
}

std::string GlyphFaceCache::MatchingFile(const std::string& fontName, char32_t character) {
    if (!FcInit())
        return {};
    FcConfig* config = nullptr; // the current configuration
    std::string file;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(fontName.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* sorted = FcFontSort(config, pattern, FcTrue, nullptr, &result);
    if (sorted) {
        // The best match that has outlines; a bitmap face cannot give glyph shapes.
        for (int i = 0; i < sorted->nfont && file.empty(); ++i) {
            FcBool scalable = FcFalse;
            FcChar8* path = nullptr;
            FcCharSet* characters = nullptr;
            if (FcPatternGetBool(sorted->fonts[i], FC_SCALABLE, 0, &scalable) == FcResultMatch &&
                scalable &&
                FcPatternGetString(sorted->fonts[i], FC_FILE, 0, &path) == FcResultMatch &&
                (character == 0 || (FcPatternGetCharSet(sorted->fonts[i], FC_CHARSET, 0,
                                                        &characters) == FcResultMatch &&
                                    FcCharSetHasChar(characters, character)))) {
                file = reinterpret_cast<const char*>(path);
            }
        }
        FcFontSetDestroy(sorted);
    }
    FcPatternDestroy(pattern);
    return file;
}

std::string GlyphFaceCache::ResolvedFile(const std::string& fontName) {
    return MatchingFile(fontName, 0);
}

GlyphFaceCache::Face* GlyphFaceCache::OpenFace(const std::string& file) {
    auto found = openFiles_.find(file);
    if (found != openFiles_.end())
        return found->second->face ? found->second.get() : nullptr;

    auto entry = std::make_unique<Face>();
    Face* face = entry.get();
    openFiles_.emplace(file, std::move(entry));
    if (!library_ || file.empty() ||
        FT_New_Face(static_cast<FT_Library>(library_), file.c_str(), 0, &face->face) != 0) {
        face->face = nullptr;
        return nullptr;
    }
    FT_Face ft = face->face;
    if (!FT_IS_SCALABLE(ft)) {
        FT_Done_Face(ft);
        face->face = nullptr;
        return nullptr;
    }
    // A font height of 1000 is a cell height: the Windows ascent and descent together.
    int64_t ascentUnits = ft->ascender;
    int64_t descentUnits = -ft->descender;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
        os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        ascentUnits = os2->usWinAscent;
        descentUnits = os2->usWinDescent;
    }
    int64_t cellUnits = ascentUnits + descentUnits;
    if (cellUnits <= 0)
        cellUnits = ft->units_per_EM;
    face->charSize = static_cast<FT_F26Dot6>(1000 * 64 * int64_t{ft->units_per_EM} / cellUnits);
    double pixelsPerUnit = face->charSize / 64.0 / ft->units_per_EM;
    int32_t ascent = static_cast<int32_t>(std::lround(ascentUnits * pixelsPerUnit));
    int32_t descent = -static_cast<int32_t>(std::lround(descentUnits * pixelsPerUnit));
    face->cellHeight = ascent + descent;
    face->unicode = FT_Select_Charmap(ft, FT_ENCODING_UNICODE) == 0;
    if (!face->unicode)
        FT_Select_Charmap(ft, FT_ENCODING_MS_SYMBOL);
    return face;
}

GlyphFaceCache::Face* GlyphFaceCache::FaceFor(const std::string& fontName) {
    auto found = faces_.find(fontName);
    if (found != faces_.end())
        return found->second;
    Face* face = OpenFace(ResolvedFile(fontName));
    faces_.emplace(fontName, face);
    return face;
}

GlyphFaceCache::Face* GlyphFaceCache::FallbackFor(const std::string& fontName, char32_t character) {
    // A text in a script the face lacks asks for the same characters again and again.
    auto [found, added] = fallbacks_.try_emplace({fontName, character}, nullptr);
    if (added) {
        Face* face = OpenFace(MatchingFile(fontName, character));
        if (face && face->unicode && FT_Get_Char_Index(face->face, character) != 0)
            found->second = face;
    }
    return found->second;
}

bool GlyphFaceCache::LoadGlyph(const std::string& fontName, char32_t character,
                               GlyphOutline& outline) {
    outline = {};
    Face* primary = FaceFor(fontName);
    if (!primary)
        return false;
    Face* face = primary;
    FT_UInt index = GlyphIndex(face->face, face->unicode, character);
    if (index == 0) {
        if (Face* fallback = FallbackFor(fontName, character)) {
            face = fallback;
            index = FT_Get_Char_Index(face->face, character);
        }
    }
    FT_Face ft = face->face;
    // A fallback face takes the em size of the face it stands in for.
    if (face->setSize != primary->charSize) {
        FT_Set_Char_Size(ft, 0, primary->charSize, 72, 72);
        face->setSize = primary->charSize;
    }
    // A character no font has shows the face's default glyph (index 0), as the system does.
    if (FT_Load_Glyph(ft, index, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
        return true;
    FT_GlyphSlot slot = ft->glyph;
    outline.advance = static_cast<int32_t>((slot->advance.x + 32) >> 6);
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE)
        return true;
    const FT_Outline& source = slot->outline;
    ContourConverter converter{primary->cellHeight};
    int first = 0;
    for (int c = 0; c < source.n_contours; ++c) {
        int last = source.contours[c];
        if (last >= first)
            outline.contours.push_back(ConvertContour(source, first, last, converter));
        first = last + 1;
    }
    return true;
}
