// Repaint time of the preview: everything drawn off-screen, then copied once, as the paint
// box does on every paint and drag step.
#include "editor/preview_painter.h"
#include "imaging/pictavo.h"
#include "model/project_objects.h"

#include <QApplication>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// Milliseconds of the median of `runs` calls.
double MedianMs(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    work(); // warm caches and fonts
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// A desktop-like frame: bands of colour and a gradient, 24 bits per pixel.
DibImage MakeFrame(int width, int height) {
    DibImage image{};
    Pictavo().newdib(&image, width, height, 24, nullptr, 0);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = DibRow(image, y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<uint8_t>(x / 8);
            row[3 * x + 1] = static_cast<uint8_t>(y / 4);
            row[3 * x + 2] = static_cast<uint8_t>((x / 64 + y / 64) % 2 ? 230 : 40);
        }
    }
    return image;
}

void SetBox(ObjectState& state, int left, int top, int right, int bottom) {
    state.Left = left;
    state.Top = top;
    state.Right = right;
    state.Bottom = bottom;
}

struct Preview {
    Project project;
    PreviewView view;
    QImage offscreen;
    QImage screen{kWidth, kHeight, QImage::Format_RGB32}; // the widget's backing store

    Preview() {
        project.MovieWidth = kWidth;
        project.MovieHeight = kHeight;
        offscreen = QImage(kWidth, kHeight, QImage::Format_RGB32);
    }
    ~Preview() { ClearObjects(project); }
    void Paint() {
        PaintPreview(offscreen, project, view);
        QPainter painter(&screen);
        painter.drawImage(0, 0, offscreen);
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (!LoadPictavo(CLIPMOOR_PROGRAM_DIR "/")) {
        std::fprintf(stderr, "%s\n", kPictavoLoadError);
        return 1;
    }
    const int runs = 30;

    // One recorded full-HD frame, its Start row selected.
    Preview frame;
    AnimObject* recorded = AddRecordedFrame(frame.project, {0, 0, kWidth - 1, kHeight - 1}, 0,
                                            MakeFrame(kWidth, kHeight));
    SetBox(recorded->Start, 0, 0, kWidth, kHeight);
    recorded->End = recorded->Start;
    frame.view.selectedRow = 0;
    const double unturned = MedianMs(runs, [&] { frame.Paint(); });
    recorded->Start.Rotation = recorded->End.Rotation = 300;
    const double turned = MedianMs(runs, [&] { frame.Paint(); });

    // Qt drawing the same frame (converted once from the 24-bit rows) with and without the
    // turn: the alternative to mapping the pixels ourselves.
    QImage qtFrame = QImage(recorded->Image.pixels, kWidth, kHeight, recorded->Image.bytesPerRow,
                            QImage::Format_BGR888)
                         .mirrored()
                         .convertToFormat(QImage::Format_RGB32);
    QImage target(kWidth, kHeight, QImage::Format_RGB32);
    auto qtDraw = [&](double degrees) {
        target.fill(Qt::white);
        QPainter painter(&target);
        painter.translate(kWidth / 2, kHeight / 2);
        painter.rotate(-degrees);
        painter.drawImage(-kWidth / 2, -kHeight / 2, qtFrame);
    };
    const double qtUnturned = MedianMs(runs, [&] { qtDraw(0); });
    const double qtTurned = MedianMs(runs, [&] { qtDraw(30); });

    // 200 overlay objects of every kind, all shown, with their connection lines.
    Preview overlay;
    for (int i = 0; i < 200; ++i) {
        AnimObject* object = nullptr;
        switch (i % 4) {
        case 0:
            object = AddTextObject(overlay.project);
            break;
        case 1:
            object = AddVectorObject(overlay.project);
            break;
        case 2:
            object = AddVectorObject(overlay.project);
            object->Shape = ShapeEllipse;
            break;
        default:
            object = AddPictureObject(overlay.project, MakeFrame(160, 90));
            break;
        }
        const int x = (i * 37) % 1700;
        const int y = (i * 53) % 950;
        SetBox(object->Start, x, y, x + 120, y + 80);
        SetBox(object->End, x + 100, y + 60, x + 220, y + 140);
        object->End.Rotation = (i % 7) * 150;
        object->Start.Color = object->End.Color = 0x3050E0 + i;
    }
    overlay.view.onlySelectedShown = false;
    overlay.view.selectedRow = 10;
    const double objects = MedianMs(runs, [&] { overlay.Paint(); });

    std::printf("preview repaint, median of %d (ms)\n", runs);
    std::printf("  1920x1080 frame unturned     %7.2f  (goal < 16; Qt drawImage %6.2f)\n", unturned,
                qtUnturned);
    std::printf("  1920x1080 frame turned 30deg %7.2f  (goal < 50; Qt drawImage %6.2f)\n", turned,
                qtTurned);
    std::printf("  200 overlay objects          %7.2f  (goal < 16)\n", objects);
    const bool met = unturned < 16 && turned < 50 && objects < 16;
    std::printf("%s\n", met ? "goals met" : "goals NOT met");
    return met ? 0 : 1;
}
