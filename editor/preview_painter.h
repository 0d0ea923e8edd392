// The preview of the editing tab: every shown object in its Start and End state, the
// connection lines and the selection frame, drawn into an off-screen image.
#pragma once

#include "model/project.h"

#include <QColor>
#include <QImage>
#include <QPalette>
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

// Paints the whole preview into `image`, which has the movie's size and a 32-bit format.
void PaintPreview(QImage& image, const Project& project, const PreviewView& view);

// A new movie-sized image with the preview painted into it.
QImage RenderPreview(const Project& project, const PreviewView& view);
