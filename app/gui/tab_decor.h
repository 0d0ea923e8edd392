// Pieces the tabs share: the bold header line and the decorative side panel.
#pragma once

#include "app/gui/artwork.h"

#include <QWidget>

class QLabel;

// A page with its bold header line above the content.
QWidget* MakeTabPage(const QString& header, QWidget* content, QLabel** headerLabel = nullptr);

// The side panel of the recording and movie tabs: a picture and a large maroon caption.
class SidePanel : public QWidget {
public:
    SidePanel(PanelPicture picture, QString caption, QWidget* parent = nullptr);
    QString Caption() const { return caption_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PanelPicture picture_;
    QString caption_;
};
