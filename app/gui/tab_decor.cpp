#include "app/gui/tab_decor.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QVBoxLayout>

QWidget* MakeTabPage(const QString& header, QWidget* content, QLabel** headerLabel) {
    auto* page = new QWidget;
    auto* label = new QLabel(header, page);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(8, 6, 8, 8);
    layout->setSpacing(6);
    layout->addWidget(label);
    layout->addWidget(content, 1);
    if (headerLabel)
        *headerLabel = label;
    return page;
}

SidePanel::SidePanel(PanelPicture picture, QString caption, QWidget* parent)
    : QWidget(parent), picture_(picture), caption_(std::move(caption)) {
    setFixedWidth(170);
    setAccessibleName(caption_);
}

void SidePanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient background(area.topLeft(), area.bottomLeft());
    background.setColorAt(0, QColor(0xFF, 0xF8, 0xF0));
    background.setColorAt(1, QColor(0xF1, 0xE4, 0xD8));
    p.setPen(QPen(QColor(0xD7, 0xC4, 0xB2), 1));
    p.setBrush(background);
    p.drawRoundedRect(area, 8, 8);

    QRectF pictureRect(area.left() + 20, area.top() + 18, area.width() - 40, area.width() - 40);
    PaintPanelPicture(p, pictureRect, picture_);

    QFont font(QStringLiteral("Arial Black"));
    font.setWeight(QFont::Black);
    font.setPixelSize(22);
    p.setFont(font);
    p.setPen(kAccentColor);
    QRectF captionRect(area.left() + 12, pictureRect.bottom() + 14, area.width() - 24,
                       area.bottom() - pictureRect.bottom() - 24);
    p.drawText(captionRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, caption_);
}
