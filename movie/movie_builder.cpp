#include "movie/movie_builder.h"

#include "geometry/box_fit.h"
#include "imaging/pictavo.h"
#include "model/byte_stream.h"
#include "model/project_objects.h"
#include "model/project_text.h"
#include "movie/glyph_shape.h"
#include "movie/jpeg_encode_pool.h"
#include "movie/timeline.h"
#include "swf/swf.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr int32_t kMaxDepth = 65535;
constexpr int64_t kMaxFrames = 65535;
// Every position and size in the movie is a signed field of at most 31 bits, in twips.
constexpr int64_t kMaxTwips = (int64_t{1} << 30) - 1;
// The project values a movie takes, in pixels: with them, every derived position (rotated and
// offset outlines included) stays well inside kMaxTwips.
constexpr int32_t kMaxCoordinate = 10000000;
// The text height field holds 16 bits of twips.
constexpr int32_t kMaxFontSize = 65535 / 20;
// A glyph record counts its entries in 7 bits, and each must be followed by byte
// alignment; runs of a multiple of 8 entries end on a byte whatever the field widths.
constexpr size_t kGlyphsPerRecord = 120;

bool FitsTwips(int64_t value) {
    return value >= -kMaxTwips && value <= kMaxTwips;
}

bool WithinCoordinates(int64_t value) {
    return value >= -kMaxCoordinate && value <= kMaxCoordinate;
}

const char* KindName(const AnimObject& object) {
    switch (object.Kind) {
    case KindText:
        return "Text";
    case KindVector:
        return object.Shape == ShapeEllipse ? "Ellipse" : "Rectangle";
    case KindPicture:
        return "Picture";
    default:
        return "Button";
    }
}

// "Object 3 (Text): " followed by the problem; objects count from 0, as the info command lists
// them.
std::string ObjectProblem(int32_t index, const AnimObject& object, const std::string& problem) {
    return "Object " + std::to_string(index) + " (" + KindName(object) + "): " + problem;
}

} // namespace

std::string ProjectLimitProblem(const Project& project) {
    if (project.MovieWidth < 1 || project.MovieHeight < 1 || project.MovieWidth > kMaxCoordinate ||
        project.MovieHeight > kMaxCoordinate)
        return "The movie size " + std::to_string(project.MovieWidth) + " x " +
               std::to_string(project.MovieHeight) + " is not between 1 x 1 and " +
               std::to_string(kMaxCoordinate) + " x " + std::to_string(kMaxCoordinate) + " pixels.";
    const std::string beyond =
        "lies beyond " + std::to_string(kMaxCoordinate) + " pixels, more than a movie can hold.";
    for (int32_t i = 0; i < project.Objects.Count(); ++i) {
        const AnimObject& object = project.Objects[i];
        for (const ObjectState* state : {&object.Start, &object.End}) {
            for (int32_t value : {state->Left, state->Top, state->Right, state->Bottom})
                if (!WithinCoordinates(value))
                    return ObjectProblem(i, object, "its box " + beyond);
            if (object.Kind == KindText && (state->FontSize < 0 || state->FontSize > kMaxFontSize))
                return ObjectProblem(i, object,
                                     "its font size " + std::to_string(state->FontSize) +
                                         " is not between 0 and " + std::to_string(kMaxFontSize) +
                                         " pixels.");
        }
    }
    for (const PointerSample& sample : project.PointerTrack)
        if (!WithinCoordinates(sample.X) || !WithinCoordinates(sample.Y))
            return "The pointer track " + beyond;
    return {};
}

namespace {

bool IsDrawableText(const AnimObject& object) {
    return object.Kind == KindText && object.Text && object.Text[0] != '\0';
}

// What the builder keeps of one object while the movie is made.
struct ObjectBuild {
    bool placed = false; // it has a character on the display list
    int32_t characterId = 0;
    int32_t depth = 0;
    uint16_t fontId = 0;
    std::vector<int32_t> glyphAdvances; // one per character of the text
    int32_t jpegWidth = 0;              // the encoded picture's size
    int32_t jpegHeight = 0;
};

class MovieBuilder {
public:
    MovieBuilder(Project& project, const MovieSettings& settings, const MovieProgress& progress)
        : project_(project), framesPerSecond_(settings.framesPerSecond),
          jpegQuality_(settings.jpegQuality),
          encodingThreads_(settings.encodingThreads > 0 ? settings.encodingThreads
                                                        : MachineThreads()),
          progress_(progress), width_(project.MovieWidth), height_(project.MovieHeight) {}

    // The next movie's character ids start at 1 again, whether this one was written or not.
    ~MovieBuilder() { ResetCharacterIds(); }

    Result Run(const std::string& fileName) {
        if (Result prepared = PrepareMovieProject(project_, framesPerSecond_); !prepared)
            return prepared;
        ResetCharacterIds();
        objects_.assign(static_cast<size_t>(project_.Objects.Count()), ObjectBuild{});

        const double lastFrame = MovieTimeline::FrameCountOf(project_, framesPerSecond_) - 1;
        // The pointer takes a new depth in every frame, above the last object's.
        depthCounter_ = ObjectDepth(project_.Objects.Count() - 1);
        if (lastFrame + 1 > kMaxFrames || depthCounter_ + lastFrame + 1 > kMaxDepth)
            return Result::Failure(lastFrame + 1 > kMaxFrames ? kMovieTooManyFramesMessage
                                                              : kMovieTooManyDepthsMessage);
        lastFrame_ = static_cast<int32_t>(lastFrame);
        timeline_.emplace(project_, framesPerSecond_);

        // Written beside the target and renamed over it: a failed export keeps the old movie.
        // The tags go to the file as they are made, while later pictures are being encoded.
        std::string failure;
        file_ = FileWriter::CreateReplacing(fileName, &failure);
        if (!file_)
            return Result::Failure(failure);
        movie_.emplace(
            [this](const uint8_t* data, size_t size) {
                file_->Write(data, size);
                return true;
            },
            width_ * kTwipsPerPixel, height_ * kTwipsPerPixel,
            static_cast<uint32_t>(std::trunc(framesPerSecond_)));
        StartEncodingPictures();

        movie_->Add(new FCTSetBackgroundColor(new FColor(255, 255, 255)));
        AddPointerShape();

        for (int32_t k = 0; k <= lastFrame_; ++k) {
            if (!BuildFrame(k))
                return Result::Failure(failure_);
            if (CharacterIdsExhausted())
                return Result::Failure(kMovieTooManyCharactersMessage);
            if (movie_->State() == FMovieWrite::Refused)
                return Result::Failure(kMovieExceedsFormatMessage);
            if (progress_)
                progress_(k + 1, lastFrame_ + 1);
        }

        std::vector<uint8_t> header;
        const FMovieWrite written = movie_->Finish(header);
        if (written == FMovieWrite::Refused)
            return Result::Failure(CharacterIdsExhausted() ? kMovieTooManyCharactersMessage
                                                           : kMovieExceedsFormatMessage);
        if (written != FMovieWrite::Written)
            return Result::Failure(kCannotCreateFileMessage);
        file_->WriteAt(0, header.data(), header.size());
        if (int error = file_->Commit())
            return Result::Failure(file_->CommitFailureMessage(error));
        return {};
    }

private:
    // Stacking follows the object list, as in the preview: an object further down the list is
    // drawn above the ones before it, whatever their times.
    static int32_t ObjectDepth(int32_t index) { return 2 + index; }

    bool NextDepth(int32_t& depth) {
        if (depthCounter_ >= kMaxDepth) {
            failure_ = kMovieTooManyDepthsMessage;
            return false;
        }
        depth = ++depthCounter_;
        return true;
    }

    void AddPointerShape() {
        auto* shape =
            new FDTDefineShape(new FRect(0, 0, width_ * kTwipsPerPixel, height_ * kTwipsPerPixel));
        pointerShapeId_ = shape->CharacterId();
        uint32_t fill = shape->AddSolidFill(new FColor(255, 255, 255));
        uint32_t line = shape->AddLine(20, new FColor(0, 0, 0));
        shape->CloseStyleArrays();
        shape->AddRecord(new FShapeRecChange(0, 1, 1, 0, 1, 0, 0, 0, fill, line, nullptr, nullptr));
        const int32_t arrow[7][2] = {{200, 200},   {-70, 0},  {100, 200}, {-60, 0},
                                     {-100, -200}, {-70, 50}, {0, -250}};
        for (const auto& edge : arrow)
            shape->AddRecord(new FShapeRecEdgeStraight(edge[0], edge[1]));
        shape->AddRecord(new FShapeRecEnd());
        movie_->Add(shape);
    }

    bool BuildFrame(int32_t k) {
        for (int32_t i = 0; i < project_.Objects.Count(); ++i) {
            const ObjectBuild& build = objects_[i];
            switch (timeline_->ChangeAt(k, i)) {
            case FrameChange::Define:
                if (!DefineObject(i))
                    return false;
                break;
            case FrameChange::DefineAndUpdate:
                if (!DefineObject(i))
                    return false;
                if (build.placed)
                    UpdateObject(k, i);
                break;
            case FrameChange::Update:
                if (build.placed)
                    UpdateObject(k, i);
                break;
            case FrameChange::Remove:
                if (build.placed)
                    movie_->Add(new FCTRemoveObject2(static_cast<uint16_t>(build.depth)));
                break;
            case FrameChange::None:
                break;
            }
        }

        if (pointerDepth_ > 0)
            movie_->Add(new FCTRemoveObject2(static_cast<uint16_t>(pointerDepth_)));
        if (!NextDepth(pointerDepth_))
            return false;
        const PointerSample pointer = timeline_->PointerAt(k);
        movie_->Add(new FCTPlaceObject2(
            0, 0, 1, 0, static_cast<uint16_t>(pointerDepth_), pointerShapeId_,
            new FMatrix(0, 0, 0, 0, 0, 0, pointer.X * kTwipsPerPixel, pointer.Y * kTwipsPerPixel),
            nullptr, 0, nullptr, 0));
        movie_->Add(new FCTShowFrame());
        return true;
    }

    bool DefineObject(int32_t index) {
        const AnimObject& object = project_.Objects[index];
        switch (object.Kind) {
        case KindText:
            return IsDrawableText(object) ? DefineText(index) : true;
        case KindVector:
            return DefineVector(index);
        case KindPicture:
            return DefinePicture(index);
        default:
            return true; // buttons are not drawn
        }
    }

    void UpdateObject(int32_t k, int32_t index) {
        const AnimObject& object = project_.Objects[index];
        ObjectBuild& build = objects_[index];
        const AnimationPoint point = timeline_->PointAt(k, index);
        switch (object.Kind) {
        case KindText:
            UpdateText(object, build, point);
            break;
        case KindVector:
            movie_->Add(new FCTPlaceObject2(0, 1, 0, 1, static_cast<uint16_t>(build.depth), 0,
                                            nullptr, nullptr,
                                            static_cast<uint16_t>(MorphRatio(point)), nullptr, 0));
            break;
        case KindPicture: {
            const PictureLook look =
                PictureLookAt(object, point, build.jpegWidth, build.jpegHeight);
            movie_->Add(new FCTPlaceObject2(
                0, 0, 0, 1, static_cast<uint16_t>(build.depth), 0,
                NewMatrix(PictureMatrix(look, build.jpegWidth, build.jpegHeight)), nullptr, 0,
                nullptr, 0));
            break;
        }
        default:
            break;
        }
    }

    static FMatrix* NewMatrix(const TwipsMatrix& m) {
        return new FMatrix(1, m.scaleX, m.scaleY, 1, m.skew0, m.skew1, m.translateX, m.translateY);
    }

    // ---- Text ---------------------------------------------------------------------------

    // Half the text's width, or -1 (with the failure set) when it is wider than a movie holds.
    int32_t HalfTextWidth(int32_t index, int32_t size, int32_t left) {
        const AnimObject& object = project_.Objects[index];
        const int64_t half = TextWidth(objects_[index].glyphAdvances, size) / 2;
        if (FitsTwips(2 * half) && FitsTwips(int64_t{left} * kTwipsPerPixel + half))
            return static_cast<int32_t>(half);
        failure_ = ObjectProblem(index, object, "the text is too wide for a movie.");
        return -1;
    }

    FDTDefineText2* MakeTextDefinition(const ObjectBuild& build, int32_t size, int32_t half,
                                       const RgbaValues& color) {
        const size_t length = build.glyphAdvances.size();
        auto* text = new FDTDefineText2(
            new FRect(-width_ * kTwipsPerPixel, -height_ * kTwipsPerPixel, width_ * kTwipsPerPixel,
                      height_ * kTwipsPerPixel),
            new FMatrix(0, 0, 0, 0, 0, 0, -half, -(size / 2)), static_cast<int32_t>(length));
        // Each run of glyphs is one text record: a style change (font, colour, height),
        // then its glyphs. Later runs continue where the previous one ended.
        for (size_t first = 0; first < length; first += kGlyphsPerRecord) {
            text->AddRecord(new FTextChangeRecord(
                1, 1, 0, 0, build.fontId, static_cast<uint16_t>(size),
                new FColor(color.red, color.green, color.blue, color.alpha), 0, 0));
            auto* glyphs = new FTextGlyphRecord();
            const size_t last = std::min(length, first + kGlyphsPerRecord);
            for (size_t i = first; i < last; ++i) {
                glyphs->AddEntry(
                    static_cast<uint16_t>(i),
                    static_cast<uint16_t>(int64_t{build.glyphAdvances[i]} * size / 1000));
            }
            text->AddRecord(glyphs);
        }
        return text;
    }

    void PlaceText(const ObjectBuild& build, const TextLook& look, int32_t size, int32_t half) {
        movie_->Add(new FCTPlaceObject2(
            0, 0, 1, 0, static_cast<uint16_t>(build.depth),
            static_cast<uint16_t>(build.characterId),
            NewMatrix(TextMatrix(look.rotation, look.left, look.top, size, half)), nullptr, 0,
            nullptr, 0));
    }

    // The character code of each glyph: the 8-bit code page while every character has a code
    // there, else 16-bit codes of Unicode's first plane.
    static FDTDefineFontInfo* MakeFontInfo(uint16_t fontId, const std::u32string& characters) {
        const bool wide = std::any_of(characters.begin(), characters.end(),
                                      [](char32_t c) { return UnicodeToWindows1252(c) < 0; });
        auto* info = new FDTDefineFontInfo("Arial", fontId, wide ? 0 : 1, 0, 0);
        info->SetWideCodes(wide);
        for (char32_t c : characters) {
            if (!wide)
                info->AddCharCode(static_cast<uint16_t>(UnicodeToWindows1252(c)));
            else
                info->AddCharCode(static_cast<uint16_t>(c <= 0xFFFF ? c : kReplacementCharacter));
        }
        return info;
    }

    bool DefineText(int32_t index) {
        const AnimObject& object = project_.Objects[index];
        ObjectBuild& build = objects_[index];
        // Decoded as the editor shows it: one glyph for each character.
        const std::u32string characters = ProjectTextCharacters(object.Text);
        const std::string fontName =
            object.FontName ? ProjectTextUtf8(object.FontName) : kDefaultFontName;

        auto font = std::make_unique<FDTDefineFont>();
        build.fontId = font->CharacterId();
        build.glyphAdvances.assign(characters.size(), 0);
        for (size_t i = 0; i < characters.size(); ++i) {
            auto* glyph = new FShape();
            build.glyphAdvances[i] =
                BuildGlyphShape(*glyph, characters[i], fontName.c_str(), faces_);
            font->AddGlyphShape(glyph);
        }
        movie_->Add(font.release());
        movie_->Add(MakeFontInfo(build.fontId, characters));

        // The widest state furthest out decides: every state in between is within it.
        if (HalfTextWidth(index,
                          std::max(object.Start.FontSize, object.End.FontSize) * kTwipsPerPixel,
                          std::max(std::abs(object.Start.Left), std::abs(object.End.Left))) < 0)
            return false;
        build.depth = ObjectDepth(index);
        build.placed = true;
        PlaceTextAt(build, TextLookAt(object, {0, 1}));
        return true;
    }

    // A text's size and colour are part of its definition: each change defines it again.
    void PlaceTextAt(ObjectBuild& build, const TextLook& look) {
        const int32_t size = look.fontSize * kTwipsPerPixel;
        // Checked when defined: no size in between is wider.
        const auto half = static_cast<int32_t>(TextWidth(build.glyphAdvances, size) / 2);
        FDTDefineText2* text = MakeTextDefinition(build, size, half, look.color);
        build.characterId = text->CharacterId();
        movie_->Add(text);
        PlaceText(build, look, size, half);
    }

    void UpdateText(const AnimObject& object, ObjectBuild& build, const AnimationPoint& point) {
        movie_->Add(new FCTRemoveObject2(static_cast<uint16_t>(build.depth)));
        PlaceTextAt(build, TextLookAt(object, point));
    }

    // ---- Vector -------------------------------------------------------------------------

    bool DefineVector(int32_t index) {
        const AnimObject& object = project_.Objects[index];
        ObjectBuild& build = objects_[index];
        const int32_t w = width_ * kTwipsPerPixel;
        const int32_t h = height_ * kTwipsPerPixel;
        auto* morph = new FDTDefineMorphShape(new FRect(0, 0, w, h), new FRect(0, 0, w, h));
        const RgbaValues from = StateColor(object.Start);
        const RgbaValues to = StateColor(object.End);
        const uint32_t fill = morph->AddFill(
            new FMorphFillStyleSolid(new FColor(from.red, from.green, from.blue, from.alpha),
                                     new FColor(to.red, to.green, to.blue, to.alpha)));
        morph->CloseStyleArrays();

        if (object.Shape == ShapeRectangle || object.Shape == ShapeEllipse) {
            const bool curved = object.Shape == ShapeEllipse;
            int64_t startOrientation = 0;
            int64_t endOrientation = 0;
            auto startPath = VectorPenPath(object, object.Start, startOrientation);
            auto endPath = VectorPenPath(object, object.End, endOrientation);
            // Fill one side only: both sides with the same fill cancel out in players.
            // Clockwise outlines enclose their inside on the right (fill style 1), inside-out
            // boxes run the other way; the end shape's indexes take no bits, so the start
            // decides, or the end when the start has no area.
            const int64_t orientation = startOrientation != 0 ? startOrientation : endOrientation;
            const bool insideOnRight = orientation >= 0;
            EmitOutline(*morph, true, startPath, curved, fill, insideOnRight);
            EmitOutline(*morph, false, endPath, curved, fill, insideOnRight);
        } else {
            morph->AddStartRecord(new FShapeRecEnd());
            morph->AddEndRecord(new FShapeRecEnd());
        }
        build.characterId = morph->CharacterId();
        movie_->Add(morph); // written and deleted
        build.depth = ObjectDepth(index);
        build.placed = true;
        movie_->Add(new FCTPlaceObject2(0, 0, 1, 0, static_cast<uint16_t>(build.depth),
                                        static_cast<uint16_t>(build.characterId), nullptr, nullptr,
                                        0, nullptr, 0));
        return true;
    }

    static void EmitOutline(FDTDefineMorphShape& morph, bool startEdges,
                            const std::vector<OutlinePoint>& path, bool curved, uint32_t fill,
                            bool insideOnRight) {
        auto add = [&](FShapeRec* record) {
            if (startEdges)
                morph.AddStartRecord(record);
            else
                morph.AddEndRecord(record);
        };
        if (path.empty()) {
            add(new FShapeRecEnd());
            return;
        }
        const uint32_t fill0 = insideOnRight ? 0 : fill;
        const uint32_t fill1 = insideOnRight ? fill : 0;
        add(new FShapeRecChange(0, 0, 1, 1, 1, path[0].x, path[0].y, fill0, fill1, 0, nullptr,
                                nullptr));
        if (curved) {
            for (size_t i = 1; i + 1 < path.size(); i += 2)
                add(new FShapeRecEdgeCurved(path[i].x, path[i].y, path[i + 1].x, path[i + 1].y));
        } else {
            for (size_t i = 1; i < path.size(); ++i)
                add(new FShapeRecEdgeStraight(path[i].x, path[i].y));
        }
        add(new FShapeRecEnd());
    }

    // ---- Picture ------------------------------------------------------------------------

    static bool HasPixels(const AnimObject& object) {
        return object.Kind == KindPicture && DibWidth(object.Image) > 0 &&
               DibHeight(object.Image) > 0 && object.Image.pixels;
    }

    // The picture as it goes into the movie: never enlarged, shrunk at most to the larger of
    // its two fitted boxes.
    static JpegJob PictureJob(const AnimObject& object) {
        const PictureSize size = PictureTargetSize(object);
        return {object.Image, size.width, size.height};
    }

    // Lists the pictures in the order the frames define them, so that workers can encode
    // the next ones while the tags of earlier frames are made. A picture is defined in the
    // first frame whose time reaches its start.
    void StartEncodingPictures() {
        for (int32_t k = 0; k <= lastFrame_; ++k) {
            for (int32_t i = 0; i < project_.Objects.Count(); ++i) {
                const FrameChange change = timeline_->ChangeAt(k, i);
                if (HasPixels(project_.Objects[i]) &&
                    (change == FrameChange::Define || change == FrameChange::DefineAndUpdate))
                    pictureOrder_.push_back(i);
            }
        }
        if (pictureOrder_.empty())
            return;
        // This thread encodes while it waits for a picture, so it counts as one of the threads.
        // A few pictures per thread keep every thread busy while the builder takes results.
        pool_.emplace(jpegQuality_, encodingThreads_ - 1,
                      2 * static_cast<size_t>(encodingThreads_));
        QueuePictures();
    }

    void QueuePictures() {
        while (picturesQueued_ < pictureOrder_.size() && pool_->HasRoom())
            pool_->Submit(PictureJob(project_.Objects[pictureOrder_[picturesQueued_++]]));
    }

    bool DefinePicture(int32_t index) {
        const AnimObject& object = project_.Objects[index];
        ObjectBuild& build = objects_[index];
        // A picture without pixels (only a damaged file holds one) cannot be shown.
        if (!HasPixels(object))
            return true;
        const ObjectState& s = object.Start;
        // Pictures come out of the pool in the order StartEncodingPictures listed them.
        EncodedJpeg jpeg = pool_->TakeNext();
        QueuePictures();
        const int32_t pw = build.jpegWidth = jpeg.width;
        const int32_t ph = build.jpegHeight = jpeg.height;
        if (!jpeg.data) {
            failure_ = ObjectProblem(index, object,
                                     "the picture can not be encoded: " + jpeg.problem + ".");
            return false;
        }

        // The tag is written when it is added, so the JPEG block may go after this function.
        auto* bits = new FDTDefineBitsJPEG2(jpeg.data.get(), static_cast<uint32_t>(jpeg.size));
        const uint16_t bitsId = bits->CharacterId();
        movie_->Add(bits);

        int32_t bw = s.Right - s.Left;
        int32_t bh = s.Bottom - s.Top;
        FitBox(pw, ph, bw, bh);
        // The bounds divide by the fitted box; an empty box counts as one pixel there.
        const int64_t boundsWidth = bw != 0 ? bw : 1;
        const int64_t boundsHeight = bh != 0 ? bh : 1;
        if (!PictureFits(index, pw, ph, boundsWidth, boundsHeight))
            return false;
        auto* shape = new FDTDefineShape(
            new FRect(-pw * kTwipsPerPixel, -ph * kTwipsPerPixel,
                      static_cast<int32_t>(int64_t{width_} * pw * kTwipsPerPixel / boundsWidth),
                      static_cast<int32_t>(int64_t{height_} * ph * kTwipsPerPixel / boundsHeight)));
        shape->AddFill(
            new FFillStyleBitmap(0, 0xFFFF, new FMatrix(1, 0xA0000, 0xA0000, 0, 0, 0, 0, 0)));
        const uint32_t pictureFill = shape->AddFill(new FFillStyleBitmap(
            0, bitsId, new FMatrix(1, 0x140000, 0x140000, 0, 0, 0, -pw * 10, -ph * 10)));
        shape->CloseStyleArrays();
        shape->AddRecord(new FShapeRecChange(0, 1, 1, 0, 1, (pw / 2) * kTwipsPerPixel,
                                             (ph / 2) * kTwipsPerPixel, 0, pictureFill, 0, nullptr,
                                             nullptr));
        shape->AddRecord(new FShapeRecEdgeStraight(-pw * kTwipsPerPixel, 0));
        shape->AddRecord(new FShapeRecEdgeStraight(0, -ph * kTwipsPerPixel));
        shape->AddRecord(new FShapeRecEdgeStraight(pw * kTwipsPerPixel, 0));
        shape->AddRecord(new FShapeRecEdgeStraight(0, ph * kTwipsPerPixel));
        shape->AddRecord(new FShapeRecEnd());
        build.characterId = shape->CharacterId();
        movie_->Add(shape); // written and deleted
        build.depth = ObjectDepth(index);
        build.placed = true;
        movie_->Add(new FCTPlaceObject2(
            0, 0, 1, 0, static_cast<uint16_t>(build.depth),
            static_cast<uint16_t>(build.characterId),
            NewMatrix(PictureMatrix({s.Left, s.Top, s.Rotation, bw, bh}, pw, ph)), nullptr, 0,
            nullptr, 0));
        return true;
    }

    // Whether the picture's shape and every matrix that scales it fit their fields: a tiny
    // picture in a huge box scales beyond them.
    bool PictureFits(int32_t index, int32_t pw, int32_t ph, int64_t boundsWidth,
                     int64_t boundsHeight) {
        const AnimObject& object = project_.Objects[index];
        int32_t bw0 = object.Start.Right - object.Start.Left;
        int32_t bh0 = object.Start.Bottom - object.Start.Top;
        int32_t bw1 = object.End.Right - object.End.Left;
        int32_t bh1 = object.End.Bottom - object.End.Top;
        FitBox(pw, ph, bw0, bh0);
        FitBox(pw, ph, bw1, bh1);
        const int64_t widest = std::max(std::abs(int64_t{bw0}), std::abs(int64_t{bw1}));
        const int64_t tallest = std::max(std::abs(int64_t{bh0}), std::abs(int64_t{bh1}));
        if (FitsTwips(int64_t{pw} * kTwipsPerPixel) && FitsTwips(int64_t{ph} * kTwipsPerPixel) &&
            FitsTwips(int64_t{width_} * pw * kTwipsPerPixel / boundsWidth) &&
            FitsTwips(int64_t{height_} * ph * kTwipsPerPixel / boundsHeight) &&
            FitsTwips(widest * 65536 / pw) && FitsTwips(tallest * 65536 / ph))
            return true;
        failure_ =
            ObjectProblem(index, object, "the picture is enlarged more than a movie can express.");
        return false;
    }

    Project& project_;
    const double framesPerSecond_;
    const int32_t jpegQuality_;
    const int32_t encodingThreads_;
    const MovieProgress& progress_;
    const int32_t width_;
    const int32_t height_;

    std::unique_ptr<FileWriter> file_;
    std::optional<FMovieStream> movie_; // writes to file_
    GlyphFaceCache faces_;
    std::vector<int32_t> pictureOrder_; // object indexes, in the order of their definitions
    size_t picturesQueued_ = 0;
    // Declared last: destroyed first, it waits for its workers before the rest goes.
    std::optional<JpegEncodePool> pool_;
    std::vector<ObjectBuild> objects_; // one per object of the Project
    std::string failure_;

    int32_t lastFrame_ = 0;
    int32_t depthCounter_ = 1;
    uint16_t pointerShapeId_ = 0;
    int32_t pointerDepth_ = 0; // 0: no pointer placed yet
    std::optional<MovieTimeline> timeline_;
};

} // namespace

Result PrepareMovieProject(Project& project, double framesPerSecond) {
    if (!(framesPerSecond >= kMinFramesPerSecond && framesPerSecond <= kMaxFramesPerSecond))
        return Result::Failure(kMovieBadFrameRateMessage);
    if (std::string problem = ProjectLimitProblem(project); !problem.empty())
        return Result::Failure(problem);
    for (AnimObject& object : project.Objects)
        if (object.End.Time <= object.Start.Time)
            std::swap(object.Start.Time, object.End.Time);
    return {};
}

Result BuildMovie(Project& project, const std::string& fileName, const MovieSettings& settings,
                  const MovieProgress& progress) {
    MovieBuilder builder(project, settings, progress);
    return builder.Run(fileName);
}
