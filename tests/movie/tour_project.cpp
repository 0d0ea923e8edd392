#include "tour_project.h"

#include "imaging/pictavo.h"
#include "model/project_objects.h"
#include "tests/support/object_state.h"

#include <cstdlib>
#include <cstring>

namespace {

// A 24-bit picture painted by paint(x, y) -> 0x00RRGGBB, x and y counted from the top left.
template <typename Paint> DibImage Painted(int32_t width, int32_t height, Paint paint) {
    DibImage image{};
    Pictavo().newdib(&image, width, height, 24, nullptr, 0);
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = DibRow(image, height - 1 - y);
        for (int32_t x = 0; x < width; ++x) {
            uint32_t rgb = paint(x, y);
            row[3 * x] = rgb & 0xFF;
            row[3 * x + 1] = (rgb >> 8) & 0xFF;
            row[3 * x + 2] = (rgb >> 16) & 0xFF;
        }
    }
    return image;
}

void SetText(AnimObject& object, const char* text, const char* font) {
    std::free(object.Text);
    std::free(object.FontName);
    object.Text = strdup(text);
    object.FontName = strdup(font);
}

} // namespace

void MakeTourProject(Project& project) {
    project.MovieWidth = 320;
    project.MovieHeight = 200;
    project.FramesPerSecond = 10;
    project.Compression = 25;

    // The recording: a window appears, then its button lights up twice.
    auto window = Painted(200, 120, [](int32_t x, int32_t y) -> uint32_t {
        if (y < 16)
            return 0x3050A0; // title bar
        if (x >= 120 && x < 184 && y >= 90 && y < 110)
            return 0xC0C0C0; // button
        return 0xE8E8F0 - static_cast<uint32_t>((y / 8) * 0x010101);
    });
    AddRecordedFrame(project, {59, 39, 258, 158}, 0, window);
    for (int32_t i = 0; i < 2; ++i) {
        auto button = Painted(64, 20, [i](int32_t x, int32_t y) -> uint32_t {
            bool border = x == 0 || y == 0 || x == 63 || y == 19;
            return border ? 0x202020 : (i == 0 ? 0x60C060 : 0xC0C0C0);
        });
        AddRecordedFrame(project, {179, 129, 242, 148}, 1200 + 800 * i, button);
    }

    AnimObject* title = AddTextObject(project);
    SetText(*title, "Clipmoor tour", "Arial");
    title->Start = BoxState(20, 4, 220, 34, 200, 0x000000);
    title->End = BoxState(90, 4, 290, 34, 1500, 0xA03000);
    title->End.FontSize = 28;

    AnimObject* box = AddVectorObject(project);
    box->Shape = ShapeRectangle;
    box->Start = BoxState(10, 150, 60, 190, 500, 0x0000E0);
    box->End = BoxState(240, 150, 310, 190, 2500, 0x00A000);
    box->End.Rotation = 300;
    box->End.Transparency = 40;

    AnimObject* ellipse = AddVectorObject(project);
    ellipse->Shape = ShapeEllipse;
    ellipse->Start = BoxState(260, 40, 270, 50, 1000, 0xE00000);
    ellipse->End = BoxState(240, 20, 300, 80, 2000, 0xE000E0);
    ellipse->RemoveWhenFinished = true;

    auto icon = Painted(48, 48, [](int32_t x, int32_t y) -> uint32_t {
        int32_t dx = x - 24, dy = y - 24;
        return dx * dx + dy * dy < 20 * 20 ? 0xF0C020 : 0xFFFFFF;
    });
    AnimObject* picture = AddPictureObject(project, icon);
    picture->Start = BoxState(10, 60, 34, 84, 1500, 0);
    picture->End = BoxState(10, 60, 58, 108, 3000, 0);

    // The pointer moves to the button and clicks it.
    for (int32_t t = 0; t <= 2400; t += 100) {
        PointerSample* sample = project.PointerTrack.Add();
        int32_t step = std::min(t, 1200);
        sample->X = 40 + step * 170 / 1200;
        sample->Y = 30 + step * 110 / 1200;
        sample->Time = t;
    }
}
