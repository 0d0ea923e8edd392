// The behaviour of the "Edit animation" tab: creating objects, the object list and its
// selection, the property pages, reordering and deleting, and the preview with direct
// manipulation of the selected box. The window builds the controls and hands them over to
// the editor, which owns that one list of them; every change goes straight into the Project.
#pragma once

#include "editor/preview_painter.h"
#include "editor/selection_drag.h"
#include "model/project.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QMenu;
class QPainter;
class QPushButton;
class QSlider;
class QSpinBox;
class QLineEdit;
class QTabWidget;
class QAbstractButton;
class QTreeWidget;
class QWidget;
class TSwatchColorComboBox;

// The editing tab's controls, named as in the window layout. The widgets are the window's
// children; the editor holds the one list of them.
struct EditorControls {
    QPushButton* NewObjBtn = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* AddTextObjekt = nullptr;
    QAction* VektorObjekt1 = nullptr;
    QAction* Bild1 = nullptr;
    QTreeWidget* ListView1 = nullptr;
    QAbstractButton* DellObBtn = nullptr;
    QAbstractButton* MoveUpBtn = nullptr;
    QAbstractButton* MoveDownBtn = nullptr;
    QCheckBox* OnlyActualCheck = nullptr;
    QCheckBox* NoArrowsCheck = nullptr;
    QWidget* PaintBox1 = nullptr;
    QTabWidget* PageControl2 = nullptr;
    QWidget* TextPage = nullptr;
    QWidget* VectorPage = nullptr;
    QWidget* PicturePage = nullptr;
    QLineEdit* TextEd = nullptr;
    QComboBox* FontEd = nullptr;
    TSwatchColorComboBox* TFarbeEd = nullptr;
    QComboBox* FontSize = nullptr;
    QDoubleSpinBox* RotEd = nullptr;
    QSpinBox* TimeEd = nullptr;
    QSlider* TransEd = nullptr;
    QCheckBox* DelObCheck = nullptr;
    QComboBox* ObjectKindBox = nullptr;
    TSwatchColorComboBox* TFarbeEd2 = nullptr;
    QSlider* TransEd2 = nullptr;
    QDoubleSpinBox* RotEd2 = nullptr;
    QSpinBox* TimeEd2 = nullptr;
    QCheckBox* DelObCheck2 = nullptr;
    QDoubleSpinBox* RotEd3 = nullptr;
    QSpinBox* TimeEd3 = nullptr;
    QCheckBox* DelObCheck3 = nullptr;
};

// What the editor asks of its window.
struct EditorHost {
    // The picture open dialog; nothing when the user cancelled.
    std::function<std::optional<QString>()> ChoosePictureFile;
    // A message box with an OK button, a stop icon and no caption of its own.
    std::function<void(const QString&)> ShowStopMessage;
};

class AnimationEditor : public QObject {
    Q_OBJECT

public:
    AnimationEditor(Project& project, EditorControls controls, EditorHost host,
                    QObject* parent = nullptr);

    const EditorControls& Controls() const { return c_; }

    // Connects the controls' signals to the handlers below.
    void ConnectControls();

    // "New object..." and its menu.
    void NewObjBtnClick();
    void AddTextObjektClick();
    void VektorObjekt1Click();
    void Bild1Click();

    // The object list.
    // Rebuilds the object list view from the Project (no row selected afterwards).
    void RefreshObjectList();
    void ListView1Click();
    void ListView1Change();
    void DellObBtnClick();
    void MoveUpBtnClick();
    void MoveDownBtnClick();

    // "Text object" page.
    void TextEdChange();
    void FontEdChange();
    void TFarbeEdChange();
    void FontSizeChange();
    void RotEdChange();
    void TimeEdChange();
    void TransEdChange();
    void DelObCheckClick();
    // "Vector object" page.
    void ObjectKindBoxChange();
    void TFarbeEd2Change();
    void TransEd2Change();
    void RotEd2Change();
    void TimeEd2Change();
    void DelObCheck2Click();
    // "Picture" page.
    void RotEd3Change();
    void TimeEd3Change();
    void DelObCheck3Click();

    // View switches.
    void OnlyActualCheckClick();
    void NoArrowsCheckClick();

    // The preview: X and Y are paint-box pixels, which are movie pixels.
    void PaintBox1Paint(QPainter& painter, const QRect& exposed);
    void PaintBox1MouseDown(int x, int y);
    void PaintBox1MouseMove(int x, int y);
    void PaintBox1MouseUp(int x, int y);
    // Resizes the paint box to the movie and asks for a repaint.
    void RepaintPreview();
    // The preview as the paint box shows it.
    QImage RenderPreview(QRect region = {}); // the whole movie when empty

    // The selected list row, or -1.
    int32_t SelectedRow() const;
    // Selects a row as a user's click would (the list's change event follows).
    void SelectRow(int32_t row);

    const DragState& Drag() const { return drag_; }
    bool FillingControls = false;
    bool RebuildingList = false;

private:
    AnimObject* SelectedObject();
    ObjectState* SelectedState();
    // The selected state when a property may be written, else null.
    ObjectState* WritableState();
    AnimObject* WritableObject();
    void FillControls(const AnimObject& object, const ObjectState& state);
    void AddPlacedObject(AnimObject* (*add)(Project&));
    void ShowPageOf(int32_t kind);
    void WriteRotation(double degrees);
    void WriteTime(int value);
    void WriteTransparency(int value);
    void WriteColor(uint32_t value);
    void WriteRemoveWhenFinished(bool checked);
    void ShowPointer(PointerShape shape);
    PreviewView CurrentView() const;

    Project& project_;
    EditorControls c_;
    EditorHost host_;
    DragState drag_;
    bool replacingFontSize_ = false;
};
