// The "Edit animation" tab: object list, preview and property pages. The controls carry
// their captions, ranges and defaults; the editor gives them their behaviour.
#include "app/gui/artwork.h"
#include "app/gui/main_form.h"
#include "app/gui/paint_box.h"
#include "app/gui/tab_decor.h"
#include "editor/animation_editor.h"
#include "widgets/swatch_color_combo_box.h"
#include "widgets/system_colors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <climits>

namespace {

// Draws the list's grid lines below and right of every row.
class GridLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Midlight));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->restore();
    }
};

QLabel* FieldLabel(const QString& text) {
    auto* label = new QLabel(text);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

// A field with its unit after it ("degrees", "milliseconds", "pixels").
QWidget* WithUnit(QWidget* field, const QString& unit) {
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(field);
    layout->addWidget(new QLabel(unit));
    layout->addStretch(1);
    return box;
}

QDoubleSpinBox* RotationField() {
    auto* field = new QDoubleSpinBox;
    field->setDecimals(1);
    field->setSingleStep(10);
    // No bounds of its own; the range keeps tenths of a degree within 32 bits.
    field->setRange(-double(INT_MAX / 10), double(INT_MAX / 10));
    field->setMinimumWidth(90);
    return field;
}

QSpinBox* TimeField() {
    auto* field = new QSpinBox;
    field->setRange(INT_MIN, INT_MAX);
    field->setSingleStep(1000);
    field->setMinimumWidth(90);
    return field;
}

QSlider* TransparencySlider() {
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setRange(0, 100);
    slider->setTickInterval(10);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setPageStep(10);
    slider->setMinimumWidth(100);
    return slider;
}

QCheckBox* RemoveWhenFinishedCheck() {
    return new QCheckBox(QStringLiteral("Remove object from screen when animation is finished"));
}

QToolButton* ListButton(ToolIcon icon, const QString& hint) {
    auto* button = new QToolButton;
    button->setIcon(MakeToolIcon(icon));
    button->setIconSize(QSize(16, 16));
    button->setFixedSize(28, 28);
    button->setToolTip(hint);
    button->setStatusTip(hint);
    return button;
}

// Gives the tab's controls their behaviour through an AnimationEditor owned by the window.
void ConnectEditor(TMainForm& form) {
    EditorControls controls;
    controls.NewObjBtn = form.NewObjBtn;
    controls.PopupMenu1 = form.PopupMenu1;
    controls.AddTextObjekt = form.AddTextObjekt;
    controls.VektorObjekt1 = form.VektorObjekt1;
    controls.Bild1 = form.Bild1;
    controls.ListView1 = form.ListView1;
    controls.DellObBtn = form.DellObBtn;
    controls.MoveUpBtn = form.MoveUpBtn;
    controls.MoveDownBtn = form.MoveDownBtn;
    controls.OnlyActualCheck = form.OnlyActualCheck;
    controls.NoArrowsCheck = form.NoArrowsCheck;
    controls.PaintBox1 = form.PaintBox1;
    controls.PageControl2 = form.PageControl2;
    controls.TextPage = form.TextPage;
    controls.VectorPage = form.VectorPage;
    controls.PicturePage = form.PicturePage;
    controls.TextEd = form.TextEd;
    controls.FontEd = form.FontEd;
    controls.TFarbeEd = form.TFarbeEd;
    controls.FontSize = form.FontSize;
    controls.RotEd = form.RotEd;
    controls.TimeEd = form.TimeEd;
    controls.TransEd = form.TransEd;
    controls.DelObCheck = form.DelObCheck;
    controls.ObjectKindBox = form.ObjectKindBox;
    controls.TFarbeEd2 = form.TFarbeEd2;
    controls.TransEd2 = form.TransEd2;
    controls.RotEd2 = form.RotEd2;
    controls.TimeEd2 = form.TimeEd2;
    controls.DelObCheck2 = form.DelObCheck2;
    controls.RotEd3 = form.RotEd3;
    controls.TimeEd3 = form.TimeEd3;
    controls.DelObCheck3 = form.DelObCheck3;

    EditorHost host;
    host.RefreshObjectList = [&form] { form.RefreshObjectList(); };
    host.ChoosePictureFile = [&form]() -> std::optional<QString> {
        if (!form.OpenDialog2.Execute(form.Ui(), &form, FileDialogMode::Open))
            return std::nullopt;
        return form.OpenDialog2.FileName;
    };
    host.ShowStopMessage = [&form](const QString& text) {
        form.Ui().ShowMessage(&form,
                              {text, DefaultCaption(), QMessageBox::Ok, QMessageBox::Critical});
    };

    auto* editor = new AnimationEditor(form.TheProject(), controls, std::move(host), &form);
    editor->setObjectName(QStringLiteral("AnimationEditor"));
    form.Editor = editor;
    editor->ConnectControls();
    form.PaintBox1->OnPaint = [editor](QPainter& painter) { editor->PaintBox1Paint(painter); };
    form.PaintBox1->OnMouseDown = [editor](QMouseEvent& event) {
        const QPoint point = event.position().toPoint();
        editor->PaintBox1MouseDown(point.x(), point.y());
    };
    form.PaintBox1->OnMouseMove = [editor](QMouseEvent& event) {
        const QPoint point = event.position().toPoint();
        editor->PaintBox1MouseMove(point.x(), point.y());
    };
    form.PaintBox1->OnMouseUp = [editor](QMouseEvent& event) {
        const QPoint point = event.position().toPoint();
        editor->PaintBox1MouseUp(point.x(), point.y());
    };
}

} // namespace

QWidget* TMainForm::BuildEditTab() {
    // Left: "New object..." with its menu, the object list and the list buttons.
    NewObjBtn = new QPushButton(MakeToolIcon(ToolIcon::New), QStringLiteral("New object..."));
    PopupMenu1 = new QMenu(NewObjBtn);
    AddTextObjekt = PopupMenu1->addAction(QStringLiteral("Text"));
    VektorObjekt1 = PopupMenu1->addAction(QStringLiteral("Vector object"));
    Bild1 = PopupMenu1->addAction(QStringLiteral("Picture"));

    ListView1 = new QTreeWidget;
    ListView1->setColumnCount(1);
    ListView1->setHeaderLabels({QStringLiteral("Object name")});
    ListView1->header()->resizeSection(0, 155);
    ListView1->header()->setStretchLastSection(true);
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setItemDelegate(new GridLineDelegate(ListView1));
    ListView1->setMinimumWidth(175);
    // The selection stays visible while the list has no focus.
    QPalette listPalette = ListView1->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        listPalette.setColor(QPalette::Inactive, role, listPalette.color(QPalette::Active, role));
    ListView1->setPalette(listPalette);

    DellObBtn = ListButton(ToolIcon::Delete, QStringLiteral("Delete object"));
    MoveUpBtn = ListButton(ToolIcon::MoveUp, QStringLiteral("Move object up"));
    MoveDownBtn = ListButton(ToolIcon::MoveDown, QStringLiteral("Move object down"));
    auto* listButtons = new QVBoxLayout;
    listButtons->setSpacing(4);
    listButtons->addWidget(DellObBtn);
    listButtons->addSpacing(8);
    listButtons->addWidget(MoveUpBtn);
    listButtons->addWidget(MoveDownBtn);
    listButtons->addStretch(1);

    auto* listRow = new QHBoxLayout;
    listRow->setSpacing(4);
    listRow->addWidget(ListView1, 1);
    listRow->addLayout(listButtons);
    auto* left = new QVBoxLayout;
    left->setSpacing(6);
    left->addWidget(NewObjBtn);
    left->addLayout(listRow, 1);

    // Right: the play bar, the preview and the property pages.
    PlayBtn = new QPushButton(MakeToolIcon(ToolIcon::Play), QStringLiteral("Play"));
    OnlyActualCheck = new QCheckBox(QStringLiteral("Show only the selected object"));
    OnlyActualCheck->setChecked(true);
    NoArrowsCheck =
        new QCheckBox(QStringLiteral("No connection line between \"Start\" and \"End\" state"));
    auto* viewChecks = new QVBoxLayout;
    viewChecks->setSpacing(0);
    viewChecks->addWidget(OnlyActualCheck);
    viewChecks->addWidget(NoArrowsCheck);
    auto* playBar = new QHBoxLayout;
    playBar->setSpacing(12);
    playBar->addWidget(PlayBtn);
    playBar->addLayout(viewChecks);
    playBar->addStretch(1);

    PaintBox1 = new TPaintBox;
    PaintBox1->setFont(QFont(QStringLiteral("Arial"), 8));
    PaintBox1->setFixedSize(kDefaultMovieWidth, kDefaultMovieHeight);
    ScrollBox1 = new QScrollArea;
    ScrollBox1->setWidget(PaintBox1);
    ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ScrollBox1->setBackgroundRole(QPalette::NoRole);
    QPalette workspace = ScrollBox1->palette();
    workspace.setColor(QPalette::Window,
                       ColorFromBgr(*ResolveColorValue(0x8000000Cu, workspace))); // workspace
    ScrollBox1->setPalette(workspace);
    ScrollBox1->setAutoFillBackground(true);
    ScrollBox1->viewport()->setPalette(workspace);
    ScrollBox1->viewport()->setAutoFillBackground(true);
    ScrollBox1->setMinimumHeight(120);

    auto* right = new QVBoxLayout;
    right->setSpacing(6);
    right->addLayout(playBar);
    right->addWidget(ScrollBox1, 1);
    right->addWidget(BuildPropertyPages());

    auto* content = new QWidget;
    auto* columns = new QHBoxLayout(content);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(10);
    columns->addLayout(left);
    columns->addLayout(right, 1);

    ConnectEditor(*this);
    return MakeTabPage(
        QStringLiteral("Edit animation - create new objects with a click on \"New object\" or "
                       "change the properties of existing objects "),
        content);
}

QWidget* TMainForm::BuildPropertyPages() {
    // "Text object".
    TextEd = new QLineEdit;
    FontEd = new QFontComboBox;
    FontEd->setMinimumWidth(140);
    FontEd->setMaximumWidth(190);
    TFarbeEd = new TSwatchColorComboBox;
    TFarbeEd->SetHTMLcolor(QStringLiteral("#000000"));
    FontSize = new QComboBox;
    FontSize->setEditable(true);
    for (const char* size :
         {"6",  "7",  "8",  "9",  "10", "11", "12", "14",  "16",  "18",  "20",  "24",
          "28", "30", "36", "48", "64", "72", "96", "120", "144", "192", "256", "512"})
        FontSize->addItem(QString::fromLatin1(size));
    FontSize->setCurrentText(QStringLiteral("12"));
    FontSize->setToolTip(QStringLiteral("Font size"));
    FontSize->setStatusTip(QStringLiteral("Font size"));
    FontSize->setMinimumWidth(70);
    RotEd = RotationField();
    TimeEd = TimeField();
    TransEd = TransparencySlider();
    DelObCheck = RemoveWhenFinishedCheck();
    DelObCheck->setChecked(true);

    TextPage = new QWidget;
    auto* text = new QGridLayout(TextPage);
    text->addWidget(FieldLabel(QStringLiteral("Text:")), 0, 0);
    text->addWidget(TextEd, 0, 1);
    text->addWidget(FieldLabel(QStringLiteral("Font:")), 1, 0);
    text->addWidget(FontEd, 1, 1);
    text->addWidget(FieldLabel(QStringLiteral("Color:")), 2, 0);
    text->addWidget(TFarbeEd, 2, 1);
    text->addWidget(FieldLabel(QStringLiteral("Transparency:")), 3, 0);
    text->addWidget(TransEd, 3, 1);
    text->addWidget(FieldLabel(QStringLiteral("Size:")), 0, 2);
    text->addWidget(WithUnit(FontSize, QStringLiteral("pixels")), 0, 3);
    text->addWidget(FieldLabel(QStringLiteral("Rotation:")), 1, 2);
    text->addWidget(WithUnit(RotEd, QStringLiteral("degrees")), 1, 3);
    text->addWidget(FieldLabel(QStringLiteral("Time:")), 2, 2);
    text->addWidget(WithUnit(TimeEd, QStringLiteral("milliseconds")), 2, 3);
    text->addWidget(DelObCheck, 4, 1, 1, 3);

    // "Vector object".
    ObjectKindBox = new QComboBox;
    ObjectKindBox->addItems({QStringLiteral("Rectangle"), QStringLiteral("Ellipse")});
    TFarbeEd2 = new TSwatchColorComboBox;
    TFarbeEd2->SetHTMLcolor(QStringLiteral("#000000"));
    TransEd2 = TransparencySlider();
    RotEd2 = RotationField();
    TimeEd2 = TimeField();
    DelObCheck2 = RemoveWhenFinishedCheck();

    VectorPage = new QWidget;
    auto* vector = new QGridLayout(VectorPage);
    vector->addWidget(FieldLabel(QStringLiteral("Kind of object:")), 0, 0);
    vector->addWidget(ObjectKindBox, 0, 1);
    vector->addWidget(FieldLabel(QStringLiteral("Color:")), 1, 0);
    vector->addWidget(TFarbeEd2, 1, 1);
    vector->addWidget(FieldLabel(QStringLiteral("Transparency:")), 2, 0);
    vector->addWidget(TransEd2, 2, 1);
    vector->addWidget(FieldLabel(QStringLiteral("Rotation:")), 0, 2);
    vector->addWidget(WithUnit(RotEd2, QStringLiteral("degrees")), 0, 3);
    vector->addWidget(FieldLabel(QStringLiteral("Time:")), 1, 2);
    vector->addWidget(WithUnit(TimeEd2, QStringLiteral("milliseconds")), 1, 3);
    vector->addWidget(DelObCheck2, 4, 1, 1, 3);
    vector->setRowStretch(5, 1);

    // "Picture".
    RotEd3 = RotationField();
    TimeEd3 = TimeField();
    DelObCheck3 = RemoveWhenFinishedCheck();
    PicturePage = new QWidget;
    auto* picture = new QGridLayout(PicturePage);
    picture->addWidget(FieldLabel(QStringLiteral("Rotation:")), 0, 0);
    picture->addWidget(WithUnit(RotEd3, QStringLiteral("degrees")), 0, 1);
    picture->addWidget(FieldLabel(QStringLiteral("Time:")), 1, 0);
    picture->addWidget(WithUnit(TimeEd3, QStringLiteral("milliseconds")), 1, 1);
    picture->addWidget(DelObCheck3, 2, 0, 1, 2);
    picture->setColumnStretch(2, 1);
    picture->setRowStretch(3, 1);

    for (QGridLayout* grid : {text, vector, picture}) {
        grid->setContentsMargins(8, 6, 8, 6);
        grid->setHorizontalSpacing(8);
        grid->setVerticalSpacing(4);
        grid->setColumnStretch(1, 1);
    }

    PageControl2 = new QTabWidget;
    PageControl2->setObjectName(QStringLiteral("PageControl2"));
    PageControl2->addTab(TextPage, QStringLiteral("Text object"));
    PageControl2->addTab(VectorPage, QStringLiteral("Vector object"));
    PageControl2->addTab(PicturePage, QStringLiteral("Picture"));
    // Until an object is selected only "Picture" can be used; "Text object" is in front.
    PageControl2->setTabEnabled(0, false);
    PageControl2->setTabEnabled(1, false);
    PageControl2->setCurrentIndex(0);
    return PageControl2;
}
