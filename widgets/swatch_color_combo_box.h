// A drop-down of sixteen named colours and "More..." (the colour dialog), each item drawn
// as a swatch and a name in English, German or French. The choice reads and writes as a
// colour value (0x00BBGGRR) or as HTML notation (#RRGGBB).
#pragma once

#include <QComboBox>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

enum TCLanguage : uint8_t {
    lgEnglish = 0,
    lgDeutsch = 1,
    lgFrensh = 2,
};

class TSwatchColorComboBox : public QComboBox {
    Q_OBJECT

public:
    static constexpr int kItemCount = 17;
    static constexpr int kMoreItem = 16;

    // Asks the user for a colour, starting from initial; nothing when cancelled.
    using ColorDialogRunner =
        std::function<std::optional<QColor>(const QColor& initial, QWidget* parent)>;

    explicit TSwatchColorComboBox(QWidget* parent = nullptr);

    uint32_t ColorValue() const { return colorValue_; }
    void SetColorValue(uint32_t value);
    const QString& HTMLcolor() const { return htmlColor_; }
    void SetHTMLcolor(const QString& text);
    TCLanguage Language() const { return language_; }
    void SetLanguage(TCLanguage language);

    // "#" + red, green and blue as upper-case hex pairs; system colours are resolved.
    QString HtmlColorText(uint32_t color) const;

    // Colour held by item i (item 16: the custom colour once one was chosen).
    uint32_t ItemColor(int index) const;
    // Name of table entry i in the current language, decoded for display.
    QString ItemName(int index) const;

    // The dialog used by "More..."; tests put a scripted one here.
    void SetColorDialogRunner(ColorDialogRunner runner) { runDialog_ = std::move(runner); }

    // What the user's choice of item index does (also what activating an item runs).
    void Change(int index);

signals:
    // Fires after every selection by the user, also when the colour dialog was cancelled.
    void OnChange();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    friend class SwatchItemDelegate;
    void DrawItem(QPainter& painter, int index, const QRect& rect, bool selected) const;
    bool ApplyColorValue(uint32_t value);

    TCLanguage language_ = lgEnglish;
    uint32_t colorValue_ = 0;
    QString htmlColor_ = QStringLiteral("#000000");
    ColorDialogRunner runDialog_;
};

// Decodes Windows-1252 text (the code page the colour names are kept in).
QString DecodeWindows1252(const char* text);
