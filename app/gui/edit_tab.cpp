// The "Edit animation" tab: object list, preview and property pages. The controls carry
// their captions, ranges and defaults; the editor gives them their behaviour.
#include "app/gui/artwork.h"
#include "app/gui/export_commands.h"
#include "app/gui/main_form.h"
#include "app/gui/paint_box.h"
#include "app/gui/tab_decor.h"
#include "editor/animation_editor.h"
#include "editor/movie_scrubber.h"
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
#include <QSplitter>
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

QTabWidget* BuildPropertyPages(EditorControls& c) {
    // "Text object".
    c.TextEd = new QLineEdit;
    c.FontEd = new QFontComboBox;
    c.FontEd->setMinimumWidth(140);
    c.FontEd->setMaximumWidth(190);
    c.TFarbeEd = new TSwatchColorComboBox;
    c.TFarbeEd->SetHTMLcolor(QStringLiteral("#000000"));
    c.FontSize = new QComboBox;
    c.FontSize->setEditable(true);
    for (const char* size :
         {"6",  "7",  "8",  "9",  "10", "11", "12", "14",  "16",  "18",  "20",  "24",
          "28", "30", "36", "48", "64", "72", "96", "120", "144", "192", "256", "512"})
        c.FontSize->addItem(QString::fromLatin1(size));
    c.FontSize->setCurrentText(QStringLiteral("12"));
    c.FontSize->setToolTip(QStringLiteral("Font size"));
    c.FontSize->setStatusTip(QStringLiteral("Font size"));
    c.FontSize->setMinimumWidth(70);
    c.RotEd = RotationField();
    c.TimeEd = TimeField();
    c.TransEd = TransparencySlider();
    c.DelObCheck = RemoveWhenFinishedCheck();
    c.DelObCheck->setChecked(true);

    c.TextPage = new QWidget;
    auto* text = new QGridLayout(c.TextPage);
    text->addWidget(FieldLabel(QStringLiteral("Text:")), 0, 0);
    text->addWidget(c.TextEd, 0, 1);
    text->addWidget(FieldLabel(QStringLiteral("Font:")), 1, 0);
    text->addWidget(c.FontEd, 1, 1);
    text->addWidget(FieldLabel(QStringLiteral("Color:")), 2, 0);
    text->addWidget(c.TFarbeEd, 2, 1);
    text->addWidget(FieldLabel(QStringLiteral("Transparency:")), 3, 0);
    text->addWidget(c.TransEd, 3, 1);
    text->addWidget(FieldLabel(QStringLiteral("Size:")), 0, 2);
    text->addWidget(WithUnit(c.FontSize, QStringLiteral("pixels")), 0, 3);
    text->addWidget(FieldLabel(QStringLiteral("Rotation:")), 1, 2);
    text->addWidget(WithUnit(c.RotEd, QStringLiteral("degrees")), 1, 3);
    text->addWidget(FieldLabel(QStringLiteral("Time:")), 2, 2);
    text->addWidget(WithUnit(c.TimeEd, QStringLiteral("milliseconds")), 2, 3);
    text->addWidget(c.DelObCheck, 4, 1, 1, 3);

    // "Vector object".
    c.ObjectKindBox = new QComboBox;
    c.ObjectKindBox->addItems({QStringLiteral("Rectangle"), QStringLiteral("Ellipse")});
    c.TFarbeEd2 = new TSwatchColorComboBox;
    c.TFarbeEd2->SetHTMLcolor(QStringLiteral("#000000"));
    c.TransEd2 = TransparencySlider();
    c.RotEd2 = RotationField();
    c.TimeEd2 = TimeField();
    c.DelObCheck2 = RemoveWhenFinishedCheck();

    c.VectorPage = new QWidget;
    auto* vector = new QGridLayout(c.VectorPage);
    vector->addWidget(FieldLabel(QStringLiteral("Kind of object:")), 0, 0);
    vector->addWidget(c.ObjectKindBox, 0, 1);
    vector->addWidget(FieldLabel(QStringLiteral("Color:")), 1, 0);
    vector->addWidget(c.TFarbeEd2, 1, 1);
    vector->addWidget(FieldLabel(QStringLiteral("Transparency:")), 2, 0);
    vector->addWidget(c.TransEd2, 2, 1);
    vector->addWidget(FieldLabel(QStringLiteral("Rotation:")), 0, 2);
    vector->addWidget(WithUnit(c.RotEd2, QStringLiteral("degrees")), 0, 3);
    vector->addWidget(FieldLabel(QStringLiteral("Time:")), 1, 2);
    vector->addWidget(WithUnit(c.TimeEd2, QStringLiteral("milliseconds")), 1, 3);
    vector->addWidget(c.DelObCheck2, 4, 1, 1, 3);
    vector->setRowStretch(5, 1);

    // "Picture".
    c.RotEd3 = RotationField();
    c.TimeEd3 = TimeField();
    c.DelObCheck3 = RemoveWhenFinishedCheck();
    c.PicturePage = new QWidget;
    auto* picture = new QGridLayout(c.PicturePage);
    picture->addWidget(FieldLabel(QStringLiteral("Rotation:")), 0, 0);
    picture->addWidget(WithUnit(c.RotEd3, QStringLiteral("degrees")), 0, 1);
    picture->addWidget(FieldLabel(QStringLiteral("Time:")), 1, 0);
    picture->addWidget(WithUnit(c.TimeEd3, QStringLiteral("milliseconds")), 1, 1);
    picture->addWidget(c.DelObCheck3, 2, 0, 1, 2);
    picture->setColumnStretch(2, 1);
    picture->setRowStretch(3, 1);

    for (QGridLayout* grid : {text, vector, picture}) {
        grid->setContentsMargins(8, 6, 8, 6);
        grid->setHorizontalSpacing(8);
        grid->setVerticalSpacing(4);
        grid->setColumnStretch(1, 1);
    }

    c.PageControl2 = new QTabWidget;
    c.PageControl2->setObjectName(QStringLiteral("PageControl2"));
    c.PageControl2->addTab(c.TextPage, QStringLiteral("Text object"));
    c.PageControl2->addTab(c.VectorPage, QStringLiteral("Vector object"));
    c.PageControl2->addTab(c.PicturePage, QStringLiteral("Picture"));
    // Until an object is selected only "Picture" can be used; "Text object" is in front.
    c.PageControl2->setTabEnabled(0, false);
    c.PageControl2->setTabEnabled(1, false);
    c.PageControl2->setCurrentIndex(0);
    return c.PageControl2;
}

} // namespace

QWidget* TMainForm::BuildEditTab(ExportControls& movieCommands) {
    EditorControls c;
    // Left: "New object..." with its menu, the object list and the list buttons.
    c.NewObjBtn = new QPushButton(MakeToolIcon(ToolIcon::New), QStringLiteral("New object..."));
    c.PopupMenu1 = new QMenu(c.NewObjBtn);
    c.AddTextObjekt = c.PopupMenu1->addAction(QStringLiteral("Text"));
    c.VektorObjekt1 = c.PopupMenu1->addAction(QStringLiteral("Vector object"));
    c.Bild1 = c.PopupMenu1->addAction(QStringLiteral("Picture"));

    c.ListView1 = new QTreeWidget;
    c.ListView1->setColumnCount(1);
    c.ListView1->setHeaderLabels({QStringLiteral("Object name")});
    c.ListView1->header()->resizeSection(0, 155);
    c.ListView1->header()->setStretchLastSection(true);
    c.ListView1->setRootIsDecorated(false);
    c.ListView1->setUniformRowHeights(true);
    c.ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    c.ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    c.ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    c.ListView1->setItemDelegate(new GridLineDelegate(c.ListView1));
    c.ListView1->setMinimumWidth(175);
    // The selection stays visible while the list has no focus.
    QPalette listPalette = c.ListView1->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        listPalette.setColor(QPalette::Inactive, role, listPalette.color(QPalette::Active, role));
    c.ListView1->setPalette(listPalette);

    c.DellObBtn = ListButton(ToolIcon::Delete, QStringLiteral("Delete object"));
    c.MoveUpBtn = ListButton(ToolIcon::MoveUp, QStringLiteral("Move object up"));
    c.MoveDownBtn = ListButton(ToolIcon::MoveDown, QStringLiteral("Move object down"));
    auto* listButtons = new QVBoxLayout;
    listButtons->setSpacing(4);
    listButtons->addWidget(c.DellObBtn);
    listButtons->addSpacing(8);
    listButtons->addWidget(c.MoveUpBtn);
    listButtons->addWidget(c.MoveDownBtn);
    listButtons->addStretch(1);

    auto* listRow = new QHBoxLayout;
    listRow->setSpacing(4);
    listRow->addWidget(c.ListView1, 1);
    listRow->addLayout(listButtons);
    auto* left = new QVBoxLayout;
    left->setSpacing(6);
    left->addWidget(c.NewObjBtn);
    left->addLayout(listRow, 1);

    // Right: the play bar, the preview and the property pages.
    movieCommands.PlayBtn = new QPushButton(MakeToolIcon(ToolIcon::Play), QStringLiteral("Play"));
    c.OnlyActualCheck = new QCheckBox(QStringLiteral("Show only the selected object"));
    c.OnlyActualCheck->setChecked(true);
    c.NoArrowsCheck =
        new QCheckBox(QStringLiteral("No connection line between \"Start\" and \"End\" state"));
    auto* viewChecks = new QVBoxLayout;
    viewChecks->setSpacing(0);
    viewChecks->addWidget(c.OnlyActualCheck);
    viewChecks->addWidget(c.NoArrowsCheck);
    auto* playBar = new QHBoxLayout;
    playBar->setSpacing(12);
    playBar->addWidget(movieCommands.PlayBtn);
    playBar->addLayout(viewChecks);
    playBar->addStretch(1);

    auto* paintBox = new TPaintBox;
    c.PaintBox1 = paintBox;
    paintBox->setFont(QFont(QStringLiteral("Arial"), 8));
    paintBox->setFixedSize(kDefaultMovieWidth, kDefaultMovieHeight);
    auto* scrollBox = new QScrollArea; // ScrollBox1
    scrollBox->setWidget(paintBox);
    scrollBox->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scrollBox->setBackgroundRole(QPalette::NoRole);
    QPalette workspace = scrollBox->palette();
    workspace.setColor(QPalette::Window,
                       ColorFromBgr(*ResolveColorValue(0x8000000Cu, workspace))); // workspace
    scrollBox->setPalette(workspace);
    scrollBox->setAutoFillBackground(true);
    scrollBox->viewport()->setPalette(workspace);
    scrollBox->viewport()->setAutoFillBackground(true);
    scrollBox->setMinimumHeight(120);

    // Beside the editing view, the movie at the time the slider below both points at.
    scrubber_ = new MovieScrubber(project_);
    auto* movieView = new QScrollArea;
    movieView->setWidget(scrubber_->View());
    movieView->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    movieView->setPalette(workspace);
    movieView->setAutoFillBackground(true);
    movieView->viewport()->setPalette(workspace);
    movieView->viewport()->setAutoFillBackground(true);
    auto* views = new QSplitter(Qt::Horizontal);
    views->addWidget(scrollBox);
    views->addWidget(movieView);

    auto* right = new QVBoxLayout;
    right->setSpacing(6);
    right->addLayout(playBar);
    right->addWidget(views, 1);
    right->addWidget(scrubber_);
    right->addWidget(BuildPropertyPages(c));

    auto* content = new QWidget;
    auto* columns = new QHBoxLayout(content);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(10);
    columns->addLayout(left);
    columns->addLayout(right, 1);

    ConnectEditor(std::move(c), *paintBox);
    return MakeTabPage(
        QStringLiteral("Edit animation - create new objects with a click on \"New object\" or "
                       "change the properties of existing objects "),
        content);
}

void TMainForm::ConnectEditor(EditorControls controls, TPaintBox& paintBox) {
    EditorHost host;
    host.ChoosePictureFile = [this]() -> std::optional<QString> {
        if (!OpenDialog2.Execute(ui_, this, FileDialogMode::Open))
            return std::nullopt;
        return OpenDialog2.FileName;
    };
    host.ShowStopMessage = [this](const QString& text) {
        ui_.ShowMessage(this, {text, DefaultCaption(), QMessageBox::Ok, QMessageBox::Critical});
    };

    auto* editor = new AnimationEditor(project_, std::move(controls), std::move(host), this);
    editor->setObjectName(QStringLiteral("AnimationEditor"));
    editor_ = editor;
    editor->ConnectControls();
    // Whatever the editor changes, it paints the preview again; the movie view follows.
    paintBox.OnPaint = [editor, scrubber = scrubber_](QPainter& painter, const QRect& exposed) {
        editor->PaintBox1Paint(painter, exposed);
        scrubber->ProjectChanged();
    };
    paintBox.OnMouseDown = [editor](QMouseEvent& event) {
        const QPoint point = event.position().toPoint();
        editor->PaintBox1MouseDown(point.x(), point.y());
    };
    paintBox.OnMouseMove = [editor](QMouseEvent& event) {
        const QPoint point = event.position().toPoint();
        editor->PaintBox1MouseMove(point.x(), point.y());
    };
    paintBox.OnMouseUp = [editor](QMouseEvent& event) {
        const QPoint point = event.position().toPoint();
        editor->PaintBox1MouseUp(point.x(), point.y());
    };
}
