#include "editor/animation_editor.h"

#include "editor/property_rules.h"
#include "model/project_objects.h"
#include "widgets/swatch_color_combo_box.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>

#include <cstdlib>
#include <cstring>

namespace {

constexpr int kTextPageIndex = 0;
constexpr int kVectorPageIndex = 1;
constexpr int kPicturePageIndex = 2;

// A heap copy the object owns (released with free by ReleaseObject).
char* OwnedCopy(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    char* copy = static_cast<char*>(std::malloc(static_cast<size_t>(bytes.size()) + 1));
    if (!copy)
        throw std::bad_alloc();
    std::memcpy(copy, bytes.constData(), static_cast<size_t>(bytes.size()) + 1);
    return copy;
}

void ReplaceOwned(char*& field, const QString& text) {
    char* copy = OwnedCopy(text);
    std::free(field);
    field = copy;
}

Qt::CursorShape CursorFor(PointerShape shape) {
    switch (shape) {
    case PointerShape::ResizeNorthWestSouthEast:
        return Qt::SizeFDiagCursor;
    case PointerShape::ResizeNorthEastSouthWest:
        return Qt::SizeBDiagCursor;
    case PointerShape::ResizeVertical:
        return Qt::SizeVerCursor;
    case PointerShape::ResizeHorizontal:
        return Qt::SizeHorCursor;
    case PointerShape::PointingHand:
        return Qt::PointingHandCursor;
    case PointerShape::Arrow:
        break;
    }
    return Qt::ArrowCursor;
}

} // namespace

AnimationEditor::AnimationEditor(Project& project, EditorControls controls, EditorHost host,
                                 QObject* parent)
    : QObject(parent), project_(project), c_(controls), host_(std::move(host)) {}

void AnimationEditor::ConnectControls() {
    connect(c_.NewObjBtn, &QPushButton::clicked, this, &AnimationEditor::NewObjBtnClick);
    connect(c_.AddTextObjekt, &QAction::triggered, this, &AnimationEditor::AddTextObjektClick);
    connect(c_.VektorObjekt1, &QAction::triggered, this, &AnimationEditor::VektorObjekt1Click);
    connect(c_.Bild1, &QAction::triggered, this, &AnimationEditor::Bild1Click);

    // Every change of the list's items or selection, the programmatic ones included.
    connect(c_.ListView1, &QTreeWidget::itemSelectionChanged, this,
            &AnimationEditor::ListView1Change);
    QAbstractItemModel* rows = c_.ListView1->model();
    connect(rows, &QAbstractItemModel::modelReset, this, &AnimationEditor::ListView1Change);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &AnimationEditor::ListView1Change);
    connect(rows, &QAbstractItemModel::rowsInserted, this, &AnimationEditor::ListView1Change);
    connect(c_.ListView1, &QTreeWidget::itemClicked, this, &AnimationEditor::ListView1Click);

    connect(c_.DellObBtn, &QAbstractButton::clicked, this, &AnimationEditor::DellObBtnClick);
    connect(c_.MoveUpBtn, &QAbstractButton::clicked, this, &AnimationEditor::MoveUpBtnClick);
    connect(c_.MoveDownBtn, &QAbstractButton::clicked, this, &AnimationEditor::MoveDownBtnClick);
    connect(c_.OnlyActualCheck, &QCheckBox::toggled, this, &AnimationEditor::OnlyActualCheckClick);
    connect(c_.NoArrowsCheck, &QCheckBox::toggled, this, &AnimationEditor::NoArrowsCheckClick);

    connect(c_.TextEd, &QLineEdit::textChanged, this, &AnimationEditor::TextEdChange);
    connect(c_.FontEd, &QComboBox::currentTextChanged, this, &AnimationEditor::FontEdChange);
    connect(c_.TFarbeEd, &TSwatchColorComboBox::OnChange, this, &AnimationEditor::TFarbeEdChange);
    connect(c_.FontSize, &QComboBox::editTextChanged, this, &AnimationEditor::FontSizeChange);
    connect(c_.RotEd, &QDoubleSpinBox::valueChanged, this, &AnimationEditor::RotEdChange);
    connect(c_.TimeEd, &QSpinBox::valueChanged, this, &AnimationEditor::TimeEdChange);
    connect(c_.TransEd, &QSlider::valueChanged, this, &AnimationEditor::TransEdChange);
    connect(c_.DelObCheck, &QCheckBox::toggled, this, &AnimationEditor::DelObCheckClick);

    connect(c_.ObjectKindBox, &QComboBox::currentIndexChanged, this,
            &AnimationEditor::ObjectKindBoxChange);
    connect(c_.TFarbeEd2, &TSwatchColorComboBox::OnChange, this, &AnimationEditor::TFarbeEd2Change);
    connect(c_.TransEd2, &QSlider::valueChanged, this, &AnimationEditor::TransEd2Change);
    connect(c_.RotEd2, &QDoubleSpinBox::valueChanged, this, &AnimationEditor::RotEd2Change);
    connect(c_.TimeEd2, &QSpinBox::valueChanged, this, &AnimationEditor::TimeEd2Change);
    connect(c_.DelObCheck2, &QCheckBox::toggled, this, &AnimationEditor::DelObCheck2Click);

    connect(c_.RotEd3, &QDoubleSpinBox::valueChanged, this, &AnimationEditor::RotEd3Change);
    connect(c_.TimeEd3, &QSpinBox::valueChanged, this, &AnimationEditor::TimeEd3Change);
    connect(c_.DelObCheck3, &QCheckBox::toggled, this, &AnimationEditor::DelObCheck3Click);
}

// --- New objects ----------------------------------------------------------------------

void AnimationEditor::NewObjBtnClick() {
    // Just below the button's lower left corner.
    c_.PopupMenu1->popup(c_.NewObjBtn->mapToGlobal(QPoint(0, c_.NewObjBtn->height())));
}

void AnimationEditor::AddPlacedObject(AnimObject* (*add)(Project&)) {
    add(project_);
    RefreshObjectList();
    SelectRow(StartRowOf(project_.Objects.Count() - 1));
}

void AnimationEditor::AddTextObjektClick() {
    AddPlacedObject(&AddTextObject);
}

void AnimationEditor::VektorObjekt1Click() {
    AddPlacedObject(&AddVectorObject);
}

void AnimationEditor::Bild1Click() {
    std::optional<QString> file = host_.ChoosePictureFile();
    if (!file)
        return;
    const PictureObjectResult added =
        AddPictureFromFile(project_, QFile::encodeName(*file).toStdString());
    if (!added.object) {
        host_.ShowStopMessage(QString::fromUtf8(added.error));
        return;
    }
    RefreshObjectList();
    SelectRow(StartRowOf(project_.Objects.Count() - 1));
}

// --- Selection ------------------------------------------------------------------------

void AnimationEditor::RefreshObjectList() {
    c_.ListView1->setUpdatesEnabled(false);
    c_.ListView1->clear();
    QList<QTreeWidgetItem*> items;
    for (const std::string& row : ObjectListRows(project_))
        items << new QTreeWidgetItem(QStringList(DecodeProjectText(row.c_str())));
    c_.ListView1->addTopLevelItems(items);
    c_.ListView1->setUpdatesEnabled(true);
    RepaintPreview();
}

int32_t AnimationEditor::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = c_.ListView1->selectedItems();
    if (selected.isEmpty())
        return -1;
    const int32_t row = c_.ListView1->indexOfTopLevelItem(selected.first());
    // The list may briefly hold more rows than objects while it is rebuilt.
    return row >= 0 && row / 2 < project_.Objects.Count() ? row : -1;
}

void AnimationEditor::SelectRow(int32_t row) {
    QTreeWidgetItem* item = c_.ListView1->topLevelItem(row);
    if (item)
        c_.ListView1->setCurrentItem(item);
}

AnimObject* AnimationEditor::SelectedObject() {
    const int32_t row = SelectedRow();
    return row < 0 ? nullptr : &project_.Objects[row / 2];
}

ObjectState* AnimationEditor::SelectedState() {
    const int32_t row = SelectedRow();
    if (row < 0)
        return nullptr;
    AnimObject& object = project_.Objects[row / 2];
    return row % 2 == 0 ? &object.Start : &object.End;
}

ObjectState* AnimationEditor::WritableState() {
    return FillingControls ? nullptr : SelectedState();
}

AnimObject* AnimationEditor::WritableObject() {
    return FillingControls ? nullptr : SelectedObject();
}

void AnimationEditor::ListView1Click() {
    const int32_t row = SelectedRow();
    if (row >= 0) {
        FillingControls = true;
        AnimObject& object = *project_.Objects.Select(row / 2);
        FillControls(object, row % 2 == 0 ? object.Start : object.End);
        FillingControls = false;
    }
    RepaintPreview();
}

void AnimationEditor::FillControls(const AnimObject& object, const ObjectState& state) {
    switch (object.Kind) {
    case KindText:
        c_.TextEd->setText(DecodeProjectText(object.Text));
        c_.FontEd->setCurrentText(DecodeProjectText(object.FontName));
        c_.TFarbeEd->SetColorValue(static_cast<uint32_t>(state.Color));
        project_.CurrentFontSize = state.FontSize;
        c_.RotEd->setValue(RotationForField(state.Rotation));
        c_.TimeEd->setValue(state.Time);
        c_.TransEd->setValue(state.Transparency);
        c_.FontSize->setEditText(QString::number(project_.CurrentFontSize));
        c_.DelObCheck->setChecked(object.RemoveWhenFinished);
        break;
    case KindVector:
        c_.TFarbeEd2->SetColorValue(static_cast<uint32_t>(state.Color));
        c_.RotEd2->setValue(RotationForField(state.Rotation));
        c_.TimeEd2->setValue(state.Time);
        c_.TransEd2->setValue(state.Transparency);
        c_.ObjectKindBox->setCurrentIndex(object.Shape);
        c_.DelObCheck2->setChecked(object.RemoveWhenFinished);
        break;
    case KindPicture:
        c_.RotEd3->setValue(RotationForField(state.Rotation));
        c_.TimeEd3->setValue(state.Time);
        c_.DelObCheck3->setChecked(object.RemoveWhenFinished);
        break;
    default: // Buttons have no page.
        break;
    }
}

void AnimationEditor::ListView1Change() {
    if (RebuildingList)
        return;
    ListView1Click();
    const AnimObject* object = SelectedObject();
    if (!object) {
        for (int page : {kTextPageIndex, kVectorPageIndex, kPicturePageIndex})
            c_.PageControl2->setTabEnabled(page, false);
        return;
    }
    ShowPageOf(object->Kind);
}

void AnimationEditor::ShowPageOf(int32_t kind) {
    int shown;
    switch (kind) {
    case KindText:
        shown = kTextPageIndex;
        break;
    case KindVector:
        shown = kVectorPageIndex;
        break;
    case KindPicture:
        shown = kPicturePageIndex;
        break;
    default: // Other kinds leave the pages as they are.
        return;
    }
    c_.PageControl2->setTabEnabled(shown, true);
    c_.PageControl2->setCurrentIndex(shown);
    for (int page : {kTextPageIndex, kVectorPageIndex, kPicturePageIndex}) {
        if (page != shown)
            c_.PageControl2->setTabEnabled(page, false);
    }
}

// --- List commands --------------------------------------------------------------------

void AnimationEditor::DellObBtnClick() {
    const int32_t row = SelectedRow();
    if (row >= 0)
        DeleteObject(project_, row / 2);
    RefreshObjectList();
    RepaintPreview();
}

void AnimationEditor::MoveUpBtnClick() {
    const int32_t row = SelectedRow();
    const int32_t i = row / 2;
    if (row < 0 || i <= 0)
        return;
    project_.Objects.Swap(i, i - 1);
    RefreshObjectList();
    RepaintPreview();
    SelectRow(2 * i - 2);
}

void AnimationEditor::MoveDownBtnClick() {
    const int32_t row = SelectedRow();
    const int32_t i = row / 2;
    if (row < 0 || i >= project_.Objects.Count() - 1)
        return;
    project_.Objects.Swap(i, i + 1);
    RefreshObjectList();
    RepaintPreview();
    SelectRow(2 * i + 2);
}

void AnimationEditor::OnlyActualCheckClick() {
    RepaintPreview();
}

void AnimationEditor::NoArrowsCheckClick() {
    RepaintPreview();
}

// --- Property pages -------------------------------------------------------------------

void AnimationEditor::TextEdChange() {
    AnimObject* object = WritableObject();
    if (!object)
        return;
    ReplaceOwned(object->Text, c_.TextEd->text());
    RepaintPreview();
    // The list shows the new text; the selection stays and the page is not refilled.
    const int32_t row = SelectedRow();
    RebuildingList = true;
    RefreshObjectList();
    SelectRow(row);
    RebuildingList = false;
}

void AnimationEditor::FontEdChange() {
    if (AnimObject* object = WritableObject())
        ReplaceOwned(object->FontName, c_.FontEd->currentText());
    RepaintPreview();
}

void AnimationEditor::WriteColor(uint32_t value) {
    if (ObjectState* state = WritableState())
        state->Color = static_cast<int32_t>(value);
    RepaintPreview();
}

void AnimationEditor::TFarbeEdChange() {
    WriteColor(c_.TFarbeEd->ColorValue());
}

void AnimationEditor::TFarbeEd2Change() {
    WriteColor(c_.TFarbeEd2->ColorValue());
}

void AnimationEditor::FontSizeChange() {
    // Not guarded by FillingControls: filling the box comes back here and only confirms
    // the size just taken from the state.
    const QString text = c_.FontSize->currentText();
    if (!text.isEmpty()) {
        if (std::optional<int32_t> size = ParseFontSize(text)) {
            project_.CurrentFontSize = *size;
        } else if (!replacingFontSize_) {
            replacingFontSize_ = true;
            c_.FontSize->setEditText(QString::number(project_.CurrentFontSize));
            replacingFontSize_ = false;
        }
    }
    if (ObjectState* state = SelectedState())
        state->FontSize = project_.CurrentFontSize;
    RepaintPreview();
}

void AnimationEditor::WriteRotation(double degrees) {
    if (ObjectState* state = WritableState())
        state->Rotation = RotationFromField(degrees);
    RepaintPreview();
}

void AnimationEditor::RotEdChange() {
    WriteRotation(c_.RotEd->value());
}

void AnimationEditor::RotEd2Change() {
    WriteRotation(c_.RotEd2->value());
}

void AnimationEditor::RotEd3Change() {
    WriteRotation(c_.RotEd3->value());
}

void AnimationEditor::WriteTime(int value) {
    if (ObjectState* state = WritableState())
        state->Time = value;
    RepaintPreview();
}

void AnimationEditor::TimeEdChange() {
    WriteTime(c_.TimeEd->value());
}

void AnimationEditor::TimeEd2Change() {
    WriteTime(c_.TimeEd2->value());
}

void AnimationEditor::TimeEd3Change() {
    WriteTime(c_.TimeEd3->value());
}

void AnimationEditor::WriteTransparency(int value) {
    if (ObjectState* state = WritableState())
        state->Transparency = value;
    RepaintPreview();
}

void AnimationEditor::TransEdChange() {
    WriteTransparency(c_.TransEd->value());
}

void AnimationEditor::TransEd2Change() {
    WriteTransparency(c_.TransEd2->value());
}

void AnimationEditor::ObjectKindBoxChange() {
    if (AnimObject* object = WritableObject())
        object->Shape = c_.ObjectKindBox->currentIndex();
    RepaintPreview();
}

void AnimationEditor::WriteRemoveWhenFinished(bool checked) {
    if (AnimObject* object = WritableObject())
        object->RemoveWhenFinished = checked;
    RepaintPreview();
}

void AnimationEditor::DelObCheckClick() {
    WriteRemoveWhenFinished(c_.DelObCheck->isChecked());
}

void AnimationEditor::DelObCheck2Click() {
    WriteRemoveWhenFinished(c_.DelObCheck2->isChecked());
}

void AnimationEditor::DelObCheck3Click() {
    WriteRemoveWhenFinished(c_.DelObCheck3->isChecked());
}

// --- Preview --------------------------------------------------------------------------

PreviewView AnimationEditor::CurrentView() const {
    PreviewView view;
    view.selectedRow = SelectedRow();
    view.onlySelectedShown = c_.OnlyActualCheck->isChecked();
    view.noConnectionLines = c_.NoArrowsCheck->isChecked();
    view.palette = c_.PaintBox1->palette();
    return view;
}

QImage AnimationEditor::RenderPreview(QRect region) {
    return ::RenderPreview(project_, CurrentView(), region);
}

void AnimationEditor::RepaintPreview() {
    c_.PaintBox1->setFixedSize(std::max(1, project_.MovieWidth), std::max(1, project_.MovieHeight));
    c_.PaintBox1->update();
}

void AnimationEditor::PaintBox1Paint(QPainter& painter, const QRect& exposed) {
    // Drawn off-screen, then copied in one operation: the preview does not flicker. Only the
    // exposed part: a movie of 20000 x 20000 would take 1.6 GB whole.
    painter.drawImage(exposed.topLeft(), RenderPreview(exposed));
}

void AnimationEditor::ShowPointer(PointerShape shape) {
    const Qt::CursorShape cursor = CursorFor(shape);
    if (c_.PaintBox1->cursor().shape() != cursor)
        c_.PaintBox1->setCursor(cursor);
}

void AnimationEditor::PaintBox1MouseDown(int x, int y) {
    const int32_t selected = SelectedRow();
    ShowPointer(HitTestSelection(drag_, project_, selected, x, y));
    if (drag_.DragMode > DragNone) {
        drag_.Dragging = 1;
        project_.Objects.Select(drag_.DragObject);
        RepaintPreview();
        return;
    }
    const int32_t row =
        RowSelectedByPress(project_, selected, c_.OnlyActualCheck->isChecked(), x, y);
    if (row >= 0) {
        SelectRow(row);
        RepaintPreview();
    }
}

void AnimationEditor::PaintBox1MouseMove(int x, int y) {
    if (drag_.Dragging) {
        ApplyDrag(drag_, project_, x, y, std::max(1, project_.MovieWidth),
                  std::max(1, project_.MovieHeight));
        RepaintPreview();
    } else {
        ShowPointer(HitTestSelection(drag_, project_, SelectedRow(), x, y));
    }
}

void AnimationEditor::PaintBox1MouseUp(int x, int y) {
    if (!drag_.Dragging)
        return;
    ApplyDrag(drag_, project_, x, y, std::max(1, project_.MovieWidth),
              std::max(1, project_.MovieHeight));
    drag_.Dragging = 0;
    RepaintPreview();
}
