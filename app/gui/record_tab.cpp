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
    RecordControls& c = record_;
    auto* content = new QWidget;
    auto* columns = new QHBoxLayout(content);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(12);
    columns->addWidget(
        new SidePanel(PanelPicture::Recording, QStringLiteral("Record screen action...")));

    // The one area selection window of the run, reused by every selection.
    c.SelectForm = new TSelectForm(this);

    auto* area = new QGroupBox(QStringLiteral("Screen area"));
    c.FullScreenBtn = new QPushButton(QStringLiteral("Select whole screen"));
    c.SelArea2Btn = new QPushButton(QStringLiteral("Select screen area..."));
    c.ScreenInfo = new QLabel;
    c.ScreenInfo->setFrameShape(QFrame::StyledPanel);
    c.ScreenInfo->setFrameShadow(QFrame::Sunken);
    c.ScreenInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* areaLayout = new QGridLayout(area);
    areaLayout->addWidget(c.FullScreenBtn, 0, 0);
    areaLayout->addWidget(c.SelArea2Btn, 0, 1);
    areaLayout->addWidget(c.ScreenInfo, 1, 0, 1, 2);

    auto* settings = new QGroupBox(QStringLiteral("Settings"));
    c.BpSEd = new QSpinBox;
    c.BpSEd->setRange(kMinFramesPerSecond, kMaxFramesPerSecond);
    c.BpSEd->setValue(kDefaultFramesPerSecond);
    c.CompressEd = new QSpinBox;
    c.CompressEd->setRange(kMinCompression, kMaxCompression);
    c.CompressEd->setSingleStep(5);
    c.CompressEd->setValue(kDefaultCompression);
    for (QSpinBox* field : {c.BpSEd, c.CompressEd})
        field->setMinimumWidth(70);
    auto* settingsLayout = new QGridLayout(settings);
    settingsLayout->addWidget(new QLabel(QStringLiteral("Frames per second:")), 0, 0);
    settingsLayout->addWidget(c.BpSEd, 0, 1);
    settingsLayout->addWidget(new QLabel(QStringLiteral("Image compression:")), 1, 0);
    settingsLayout->addWidget(c.CompressEd, 1, 1);
    settingsLayout->addWidget(new QLabel(QStringLiteral("(0 = best quality; 100 = smallest file)")),
                              1, 2);
    settingsLayout->setColumnStretch(3, 1);

    auto* recording = new QGroupBox(QStringLiteral("Recording"));
    c.RecordBtn = new QPushButton(QStringLiteral("Record now"));
    c.StopBtn = new QPushButton(QStringLiteral("Stop record"));
    c.StopBtn->setEnabled(false);
    for (QPushButton* button : {c.RecordBtn, c.StopBtn, c.FullScreenBtn, c.SelArea2Btn})
        button->setMinimumWidth(150);
    c.Label3 = new QLabel(QStringLiteral("Alt + Ctrl + F11 = Start recording and stop recording!"));
    QFont bold = c.Label3->font();
    bold.setBold(true);
    c.Label3->setFont(bold);
    // Many X desktops switch to a text console on Ctrl + Alt + F11 before any program sees it.
    c.HotKeyNote = new QLabel(QStringLiteral("Ctrl + Shift + F11 works as well, for desktops on "
                                             "which Ctrl + Alt + F11 switches to a text console."));
    c.HotKeyNote->setWordWrap(true);
    QFont noteFont = c.HotKeyNote->font();
    noteFont.setItalic(true);
    c.HotKeyNote->setFont(noteFont);
    auto* recordLayout = new QGridLayout(recording);
    recordLayout->addWidget(c.RecordBtn, 0, 0);
    recordLayout->addWidget(c.StopBtn, 0, 1);
    recordLayout->addWidget(c.Label3, 1, 0, 1, 3);
    recordLayout->addWidget(c.HotKeyNote, 2, 0, 1, 3);
    recordLayout->setColumnStretch(2, 1);

    auto* controls = new QVBoxLayout;
    controls->setSpacing(10);
    controls->addWidget(area);
    controls->addWidget(settings);
    controls->addWidget(recording);
    controls->addStretch(1);
    columns->addLayout(controls, 1);

    connect(c.CompressEd, &QSpinBox::valueChanged, this, &TMainForm::CompressEdChange);
    connect(c.BpSEd, &QSpinBox::valueChanged, this, &TMainForm::BpSEdChange);
    connect(c.FullScreenBtn, &QPushButton::clicked, this, &TMainForm::FullScreenBtnClick);
    connect(c.SelArea2Btn, &QPushButton::clicked, this, &TMainForm::SelArea2BtnClick);
    connect(c.RecordBtn, &QPushButton::clicked, this, &TMainForm::RecordBtnClick);
    connect(c.StopBtn, &QPushButton::clicked, this, &TMainForm::StopBtnClick);
    return MakeTabPage(
        QStringLiteral("Record screen action - select the screen area and start the recording"),
        content);
}
