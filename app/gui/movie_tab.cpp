// The "Create Flash movie" tab.
#include "app/gui/artwork.h"
#include "app/gui/main_form.h"
#include "app/gui/tab_decor.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

QWidget* TMainForm::BuildMovieTab() {
    auto* content = new QWidget;
    auto* columns = new QHBoxLayout(content);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(12);
    columns->addWidget(new SidePanel(PanelPicture::Movie, QStringLiteral("Create Flash movie")));

    CreateFlashBtn =
        new QPushButton(MakeToolIcon(ToolIcon::Movie), QStringLiteral("Create Flash file..."));
    CreateFlashBtn->setMinimumWidth(180);
    AutoLoadFlashCheck =
        new QCheckBox(QStringLiteral("Show file in the Flash player after creation"));
    AutoLoadFlashCheck->setChecked(true);
    CreateHTMLCheck = new QCheckBox(QStringLiteral("Also create a HTML file"));
    CreateHTMLCheck->setChecked(true);
    HtmlSourceLabel = new QLabel(QStringLiteral(
        "HTML source code - you may use it for your website (copy and paste into existing HTML "
        "source code):"));
    HtmlSourceLabel->setWordWrap(true);
    Memo1 = new QPlainTextEdit;
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* controls = new QVBoxLayout;
    controls->setSpacing(8);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(CreateFlashBtn);
    buttonRow->addStretch(1);
    controls->addLayout(buttonRow);
    controls->addWidget(AutoLoadFlashCheck);
    controls->addWidget(CreateHTMLCheck);
    controls->addSpacing(6);
    controls->addWidget(HtmlSourceLabel);
    controls->addWidget(Memo1, 1);
    columns->addLayout(controls, 1);

    return MakeTabPage(QStringLiteral("Create Flash movie - here you can create the Flash file "
                                      "(SWF) and an HTML file to upload both to the web"),
                       content);
}
