// The preview of the editing tab: every shown object in its Start and End state, the
// connection lines and the selection frame, drawn into an off-screen image.
#pragma once

#include "model/project.h"

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QRect>
#include <QString>

#include <cstdint>

struct PreviewView {
    int32_t selectedRow = -1;       // row of the object list, -1: nothing selected
    bool onlySelectedShown = true;  // "Show only the selected object"
    bool noConnectionLines = false; // "No connection line between "Start" and "End" state"
    QPalette palette;               // resolves system colours (window text)
};

// The colour a state's colour value stands for; system colours come from the palette.
QColor PreviewColor(int32_t colorValue, const QPalette& palette);

// A text of the project (object text, font name), decoded by the rule the movie shares:
// UTF-8, or the Windows code page of older files.
QString DecodeProjectText(const char* text);

// Paints the part of the preview whose top left corner is `origin` (in movie pixels) into
// `image`, which has a 32-bit format; the image's size is the size of that part.
void PaintPreview(QImage& image, const Project& project, const PreviewView& view,
                  QPoint origin = {});

// A new image of `region` of the movie (the whole movie when empty) with the preview painted
// into it. A movie can be far larger than the screen: callers paint what is visible.
QImage RenderPreview(const Project& project, const PreviewView& view, QRect region = {});
