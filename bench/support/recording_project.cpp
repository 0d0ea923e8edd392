#include "bench/support/recording_project.h"

#include "imaging/pictavo.h"
#include "model/project_objects.h"

#include <cstdlib>
#include <cstring>

DibImage DesktopFrame(int32_t index) {
    DibImage image{};
    Pictavo().newdib(&image, kBenchWidth, kBenchHeight, 24, nullptr, 0);
    for (int32_t y = 0; y < kBenchHeight; ++y) {
        uint8_t* row = DibRow(image, kBenchHeight - 1 - y);
        for (int32_t x = 0; x < kBenchWidth; ++x) {
            uint8_t b = 0xF0, g = 0xEC, r = 0xE8;
            if (y < 40) {
                b = 0xA0, g = 0x50, r = 0x30;
            } else if (x > 200 && x < 1700 && y % 24 < 12 && (x / 7 + y / 24 + index) % 11 < 7) {
                b = g = r = 0x30; // text lines
            }
            int32_t boxX = 100 + (index * 5) % 1500;
            if (x >= boxX && x < boxX + 200 && y >= 600 && y < 800) {
                b = 0x40, g = 0xC0, r = static_cast<uint8_t>(index);
            }
            row[3 * x] = b;
            row[3 * x + 1] = g;
            row[3 * x + 2] = r;
        }
    }
    return image;
}

void MakeRecordingProject(Project& project) {
    project.MovieWidth = kBenchWidth;
    project.MovieHeight = kBenchHeight;
    project.FramesPerSecond = 5;
    for (int32_t i = 0; i < kBenchFrames; ++i)
        AddRecordedFrame(project, {0, 0, kBenchWidth - 1, kBenchHeight - 1}, i * 200,
                         DesktopFrame(i));
    AnimObject* text = AddTextObject(project);
    std::free(text->Text);
    text->Text = strdup("A long recording with a caption that moves");
    text->End.Time = 60000;
    text->End.Left = 900;
    AnimObject* box = AddVectorObject(project);
    box->End.Time = 30000;
    box->End.Right = 800;
    box->End.Bottom = 600;
    AnimObject* ellipse = AddVectorObject(project);
    ellipse->Shape = ShapeEllipse;
    ellipse->Start.Time = 10000;
    ellipse->End.Time = 20000;
    AnimObject* logo = AddPictureObject(project, DesktopFrame(7));
    logo->Start.Time = 5000;
    logo->End.Time = 15000;
    logo->End.Right = 640;
    logo->End.Bottom = 360;
}
