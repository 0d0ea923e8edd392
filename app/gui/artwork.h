// The program's pictures and icons, drawn as vectors so they are crisp at any pixel ratio.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QPainter;
class QRectF;

enum class ToolIcon { New, Open, Save, SaveAs, Delete, MoveUp, MoveDown, Play, Movie, Web };
enum class ButtonGlyph { Info, Help, Quit };
enum class PanelPicture { Recording, Movie };

// Brand colours shared by the pictures.
inline const QColor kAccentColor{0x80, 0x00, 0x00}; // maroon, as the panel captions
inline const QColor kRecordColor{0xD3, 0x2F, 0x2F};

QIcon ProgramIcon();
QIcon MakeToolIcon(ToolIcon icon);

// The face of a picture button (normal or pressed) for a logical rectangle.
void PaintButtonFace(QPainter& painter, const QRectF& rect, ButtonGlyph glyph,
                     const QString& caption, bool pressed);
// A rendered picture of a button face at the given pixel ratio.
QPixmap ButtonPicture(ButtonGlyph glyph, const QString& caption, bool pressed, QSize size,
                      qreal pixelRatio);

// The decorative pictures of the recording and movie tabs' side panels.
void PaintPanelPicture(QPainter& painter, const QRectF& rect, PanelPicture picture);
