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
    WindowControls& c = controls_;
    c.ToolBar1 = addToolBar(QStringLiteral("Project"));
    c.ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    c.ToolBar1->setMovable(false);
    c.ToolBar1->setFloatable(false);
    c.ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    c.ToolBar1->setIconSize(QSize(16, 16));

    c.NewBtn = MakeToolButton(QStringLiteral("&New"), QStringLiteral("Create a new flash movie"),
                              ToolIcon::New);
    c.OpenBtn = MakeToolButton(QStringLiteral("&Open..."),
                               QStringLiteral("Open a existing Clipmoor movie"), ToolIcon::Open);
    c.SaveBtn = MakeToolButton(QStringLiteral("&Save"),
                               QStringLiteral("Save the movie as Clipmoor file"), ToolIcon::Save);
    c.SaveAsBtn =
        MakeToolButton(QStringLiteral("Save &as..."),
                       QStringLiteral("Save the movie as Clipmoor file"), ToolIcon::SaveAs);
    for (QToolButton* button : {c.NewBtn, c.OpenBtn, c.SaveBtn, c.SaveAsBtn})
        c.ToolBar1->addWidget(button);
    connect(c.NewBtn, &QToolButton::clicked, this, &TMainForm::NewBtnClick);
    connect(c.OpenBtn, &QToolButton::clicked, this, &TMainForm::OpenBtnClick);
    connect(c.SaveBtn, &QToolButton::clicked, this, &TMainForm::SaveBtnClick);
    connect(c.SaveAsBtn, &QToolButton::clicked, this, &TMainForm::SaveAsBtnClick);
}

QWidget* TMainForm::BuildBottomBar() {
    WindowControls& c = controls_;
    auto* bar = new QWidget;
    bar->setObjectName(QStringLiteral("BottomPanel"));
    bar->setFixedHeight(41);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 5, 0, 5);
    layout->setSpacing(8);

    c.wwwBtn = new QToolButton;
    c.wwwBtn->setText(QString::fromUtf8(kMakerWebCaption));
    c.wwwBtn->setIcon(MakeToolIcon(ToolIcon::Web));
    c.wwwBtn->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    c.wwwBtn->setAutoRaise(true);
    c.wwwBtn->setCursor(Qt::PointingHandCursor);
    SetHint(c.wwwBtn, QStringLiteral("Go to the Vantrel website..."));
    connect(c.wwwBtn, &QToolButton::clicked, this, &TMainForm::wwwBtnClick);

    c.ueberbtn = new PictureButton(ButtonGlyph::Info, QStringLiteral("Info"));
    c.hilfebtn = new PictureButton(ButtonGlyph::Help, QStringLiteral("Help"));
    c.EndeBtn = new PictureButton(ButtonGlyph::Quit, QStringLiteral("Quit"));
    SetHint(c.ueberbtn, QStringLiteral("Information about the program"));
    SetHint(c.hilfebtn, QStringLiteral("Information about the program"));
    SetHint(c.EndeBtn, QStringLiteral("Quit the program"));
    connect(c.ueberbtn, &PictureButton::Clicked, this, &TMainForm::ueberbtnClick);
    connect(c.hilfebtn, &PictureButton::Clicked, this, &TMainForm::hilfebtnClick);
    connect(c.EndeBtn, &PictureButton::Clicked, this, &TMainForm::EndeBtnClick);

    layout->addWidget(c.wwwBtn);
    layout->addStretch(1);
    layout->addWidget(c.ueberbtn);
    layout->addWidget(c.hilfebtn);
    layout->addWidget(c.EndeBtn);
    return bar;
}
