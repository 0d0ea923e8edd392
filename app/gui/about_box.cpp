#include "app/gui/about_box.h"

#include "app/gui/artwork.h"
#include "app/gui/main_form.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Info"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    auto* picture = new QLabel(this);
    picture->setPixmap(ProgramIcon().pixmap(QSize(56, 56), devicePixelRatioF()));
    picture->setAlignment(Qt::AlignTop);

    ProductName = new QLabel(QStringLiteral("Clipmoor"), this);
    QFont nameFont = ProductName->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.6);
    nameFont.setBold(true);
    ProductName->setFont(nameFont);
    Version = new QLabel(QStringLiteral("Version 1.0"), this);
    Copyright = new QLabel(QStringLiteral("Copyright \u00A9 Vantrel"), this);
    Comments = new QLabel(QStringLiteral("Records what happens on the screen and turns it "
                                         "into Flash movies for the web."),
                          this);
    Comments->setWordWrap(true);
    auto* web = new QLabel(
        QStringLiteral("<a href=\"%1\">%2</a>")
            .arg(QString::fromUtf8(kMakerWebAddress), QString::fromUtf8(kMakerWebCaption)),
        this);
    web->setOpenExternalLinks(true);

    auto* text = new QVBoxLayout;
    text->setSpacing(2);
    text->addWidget(ProductName);
    text->addWidget(Version);
    text->addSpacing(8);
    text->addWidget(Copyright);
    text->addWidget(web);
    text->addSpacing(8);
    text->addWidget(Comments);
    text->addStretch();

    auto* top = new QHBoxLayout;
    top->setSpacing(14);
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addLayout(text, 1);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 10);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetNoConstraint);

    setFixedSize(kClientWidth, kClientHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect available = screen->availableGeometry();
        move(available.center() - rect().center());
    }
}
