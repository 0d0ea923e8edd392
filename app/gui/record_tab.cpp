// The "Record screen action" tab.
#include "app/gui/main_form.h"
#include "app/gui/tab_decor.h"
#include "record/ui/select_form.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

QWidget* TMainForm::BuildRecordTab() {
    auto* content = new QWidget;
    auto* columns = new QHBoxLayout(content);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(12);
    columns->addWidget(
        new SidePanel(PanelPicture::Recording, QStringLiteral("Record screen action...")));

    // The one area selection window of the run, reused by every selection.
    SelectForm = new TSelectForm(this);

    auto* area = new QGroupBox(QStringLiteral("Screen area"));
    FullScreenBtn = new QPushButton(QStringLiteral("Select whole screen"));
    SelArea2Btn = new QPushButton(QStringLiteral("Select screen area..."));
    ScreenInfo = new QLabel;
    ScreenInfo->setFrameShape(QFrame::StyledPanel);
    ScreenInfo->setFrameShadow(QFrame::Sunken);
    ScreenInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* areaLayout = new QGridLayout(area);
    areaLayout->addWidget(FullScreenBtn, 0, 0);
    areaLayout->addWidget(SelArea2Btn, 0, 1);
    areaLayout->addWidget(ScreenInfo, 1, 0, 1, 2);

    auto* settings = new QGroupBox(QStringLiteral("Settings"));
    BpSEd = new QSpinBox;
    BpSEd->setRange(kMinFramesPerSecond, kMaxFramesPerSecond);
    BpSEd->setValue(kDefaultFramesPerSecond);
    CompressEd = new QSpinBox;
    CompressEd->setRange(kMinCompression, kMaxCompression);
    CompressEd->setSingleStep(5);
    CompressEd->setValue(kDefaultCompression);
    for (QSpinBox* field : {BpSEd, CompressEd})
        field->setMinimumWidth(70);
    auto* settingsLayout = new QGridLayout(settings);
    settingsLayout->addWidget(new QLabel(QStringLiteral("Frames per second:")), 0, 0);
    settingsLayout->addWidget(BpSEd, 0, 1);
    settingsLayout->addWidget(new QLabel(QStringLiteral("Image compression:")), 1, 0);
    settingsLayout->addWidget(CompressEd, 1, 1);
    settingsLayout->addWidget(new QLabel(QStringLiteral("(0 = best quality; 100 = smallest file)")),
                              1, 2);
    settingsLayout->setColumnStretch(3, 1);

    auto* recording = new QGroupBox(QStringLiteral("Recording"));
    RecordBtn = new QPushButton(QStringLiteral("Record now"));
    StopBtn = new QPushButton(QStringLiteral("Stop record"));
    StopBtn->setEnabled(false);
    for (QPushButton* button : {RecordBtn, StopBtn, FullScreenBtn, SelArea2Btn})
        button->setMinimumWidth(150);
    Label3 = new QLabel(QStringLiteral("Alt + Ctrl + F11 = Start recording and stop recording!"));
    QFont bold = Label3->font();
    bold.setBold(true);
    Label3->setFont(bold);
    // Many X desktops switch to a text console on Ctrl + Alt + F11 before any program sees it.
    HotKeyNote = new QLabel(QStringLiteral("Ctrl + Shift + F11 works as well, for desktops on "
                                           "which Ctrl + Alt + F11 switches to a text console."));
    HotKeyNote->setWordWrap(true);
    QFont noteFont = HotKeyNote->font();
    noteFont.setItalic(true);
    HotKeyNote->setFont(noteFont);
    auto* recordLayout = new QGridLayout(recording);
    recordLayout->addWidget(RecordBtn, 0, 0);
    recordLayout->addWidget(StopBtn, 0, 1);
    recordLayout->addWidget(Label3, 1, 0, 1, 3);
    recordLayout->addWidget(HotKeyNote, 2, 0, 1, 3);
    recordLayout->setColumnStretch(2, 1);

    auto* controls = new QVBoxLayout;
    controls->setSpacing(10);
    controls->addWidget(area);
    controls->addWidget(settings);
    controls->addWidget(recording);
    controls->addStretch(1);
    columns->addLayout(controls, 1);

    connect(CompressEd, &QSpinBox::valueChanged, this, &TMainForm::CompressEdChange);
    connect(BpSEd, &QSpinBox::valueChanged, this, &TMainForm::BpSEdChange);
    connect(FullScreenBtn, &QPushButton::clicked, this, &TMainForm::FullScreenBtnClick);
    connect(SelArea2Btn, &QPushButton::clicked, this, &TMainForm::SelArea2BtnClick);
    connect(RecordBtn, &QPushButton::clicked, this, &TMainForm::RecordBtnClick);
    connect(StopBtn, &QPushButton::clicked, this, &TMainForm::StopBtnClick);
    return MakeTabPage(
        QStringLiteral("Record screen action - select the screen area and start the recording"),
        content);
}
