// The tool bar and the bottom bar of the main window.
#include "app/gui/artwork.h"
#include "app/gui/main_form.h"
#include "app/gui/picture_button.h"

#include <QHBoxLayout>
#include <QToolBar>
#include <QToolButton>

namespace {

void SetHint(QWidget* widget, const QString& hint) {
    widget->setToolTip(hint);
    widget->setStatusTip(hint);
}

QToolButton* MakeToolButton(const QString& caption, const QString& hint, ToolIcon icon) {
    auto* button = new QToolButton;
    button->setText(caption); // '&' marks the Alt key letter
    button->setIcon(MakeToolIcon(icon));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setFixedWidth(121);
    SetHint(button, hint);
    return button;
}

} // namespace

void TMainForm::BuildToolBar() {
    ToolBar1 = addToolBar(QStringLiteral("Project"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    ToolBar1->setIconSize(QSize(16, 16));

    NewBtn = MakeToolButton(QStringLiteral("&New"), QStringLiteral("Create a new flash movie"),
                            ToolIcon::New);
    OpenBtn = MakeToolButton(QStringLiteral("&Open..."),
                             QStringLiteral("Open a existing Clipmoor movie"), ToolIcon::Open);
    SaveBtn = MakeToolButton(QStringLiteral("&Save"),
                             QStringLiteral("Save the movie as Clipmoor file"), ToolIcon::Save);
    SaveAsBtn = MakeToolButton(QStringLiteral("Save &as..."),
                               QStringLiteral("Save the movie as Clipmoor file"), ToolIcon::SaveAs);
    for (QToolButton* button : {NewBtn, OpenBtn, SaveBtn, SaveAsBtn})
        ToolBar1->addWidget(button);
    connect(NewBtn, &QToolButton::clicked, this, &TMainForm::NewBtnClick);
    connect(OpenBtn, &QToolButton::clicked, this, &TMainForm::OpenBtnClick);
    connect(SaveBtn, &QToolButton::clicked, this, &TMainForm::SaveBtnClick);
    connect(SaveAsBtn, &QToolButton::clicked, this, &TMainForm::SaveAsBtnClick);
}

void TMainForm::BuildBottomBar() {
    auto* bar = new QWidget;
    bar->setObjectName(QStringLiteral("BottomPanel"));
    bar->setFixedHeight(41);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 5, 0, 5);
    layout->setSpacing(8);

    wwwBtn = new QToolButton;
    wwwBtn->setText(QString::fromUtf8(kMakerWebCaption));
    wwwBtn->setIcon(MakeToolIcon(ToolIcon::Web));
    wwwBtn->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    wwwBtn->setAutoRaise(true);
    wwwBtn->setCursor(Qt::PointingHandCursor);
    SetHint(wwwBtn, QStringLiteral("Go to the Vantrel website..."));
    connect(wwwBtn, &QToolButton::clicked, this, &TMainForm::wwwBtnClick);

    ueberbtn = new PictureButton(ButtonGlyph::Info, QStringLiteral("Info"));
    hilfebtn = new PictureButton(ButtonGlyph::Help, QStringLiteral("Help"));
    EndeBtn = new PictureButton(ButtonGlyph::Quit, QStringLiteral("Quit"));
    SetHint(ueberbtn, QStringLiteral("Information about the program"));
    SetHint(hilfebtn, QStringLiteral("Information about the program"));
    SetHint(EndeBtn, QStringLiteral("Quit the program"));
    connect(ueberbtn, &PictureButton::Clicked, this, &TMainForm::ueberbtnClick);
    connect(hilfebtn, &PictureButton::Clicked, this, &TMainForm::hilfebtnClick);
    connect(EndeBtn, &PictureButton::Clicked, this, &TMainForm::EndeBtnClick);

    layout->addWidget(wwwBtn);
    layout->addStretch(1);
    layout->addWidget(ueberbtn);
    layout->addWidget(hilfebtn);
    layout->addWidget(EndeBtn);
}
