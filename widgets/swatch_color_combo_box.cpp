#include "widgets/swatch_color_combo_box.h"

#include "widgets/system_colors.h"

#include <QAbstractItemView>
#include <QColorDialog>
#include <QPainter>
#include <QStylePainter>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

struct ColorEntry {
    uint32_t value;       // 0x00BBGGRR
    const char* names[3]; // English, German, French; Windows-1252
};

// The names stay in the code page they have always been kept in; they are decoded for drawing.
constexpr ColorEntry kColorTable[TSwatchColorComboBox::kItemCount] = {
    {0x000000, {"Black", "Schwarz", "Noir"}},
    {0x000080, {"Maroon", "Dunkelrot", "Rouge fonc\xE9"}},
    {0x008000, {"Green", "Gr\xFCn", "Vert"}},
    {0x008080, {"Olive", "Oliv", "Marron clair"}},
    {0x800000, {"Navy", "Dunkelblau", "Bleu fonc\xE9"}},
    {0x800080, {"Purple", "Purpur", "Violet"}},
    {0x808000, {"Teal", "Gr\xFCnblau", "Bleu-vert"}},
    {0x808080, {"Gray", "Grau", "Gris"}},
    {0xC0C0C0, {"Silver", "Silber", "Argent\xE9"}},
    {0x0000FF, {"Red", "Rot", "Rouge"}},
    {0x00FF00, {"Lime", "Hellgr\xFCn", "Vert"}},
    {0x00FFFF, {"Yellow", "Gelb", "Jaune"}},
    {0xFF0000, {"Blue", "Blau", "Bleu"}},
    {0xFF00FF, {"Fuchsia", "Rosa", "Fuchsia"}},
    {0xFFFF00, {"Aqua", "Hellblau", "Vert d'eau"}},
    {0xFFFFFF, {"White", "Wei\xDF", "Blanc"}},
    {0xFFFFFF, {"More...", "Mehr...", "Autres...."}},
};

// Windows-1252 differs from Latin-1 only in 0x80..0x9F.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

bool IsUpperHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
}

std::optional<QColor> RunQtColorDialog(const QColor& initial, QWidget* parent) {
    QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

} // namespace

QString DecodeWindows1252(const char* text) {
    QString decoded;
    for (const char* p = text; *p; ++p) {
        auto byte = static_cast<unsigned char>(*p);
        if (byte >= 0x80 && byte < 0xA0)
            decoded.append(QChar(kCp1252High[byte - 0x80]));
        else
            decoded.append(QChar(byte));
    }
    return decoded;
}

// Draws list items through the control, so the list and the closed box look the same.
class SwatchItemDelegate : public QStyledItemDelegate {
public:
    explicit SwatchItemDelegate(TSwatchColorComboBox* box) : QStyledItemDelegate(box), box_(box) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        bool selected = option.state & (QStyle::State_Selected | QStyle::State_MouseOver);
        box_->DrawItem(*painter, index.row(), option.rect, selected);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        // Fixed item height, like the closed box's line.
        int height = std::max(18, option.fontMetrics.height() + 4);
        return {box_->width(), height};
    }

private:
    TSwatchColorComboBox* box_;
};

TSwatchColorComboBox::TSwatchColorComboBox(QWidget* parent) : QComboBox(parent) {
    setItemDelegate(new SwatchItemDelegate(this));
    setFixedWidth(120);
    for (int i = 0; i < kItemCount; ++i) {
        addItem(ItemName(i));
        setItemData(i, static_cast<uint>(kColorTable[i].value), Qt::UserRole);
    }
    setCurrentIndex(0);
    connect(this, &QComboBox::activated, this, &TSwatchColorComboBox::Change);
}

uint32_t TSwatchColorComboBox::ItemColor(int index) const {
    return itemData(index, Qt::UserRole).toUInt();
}

QString TSwatchColorComboBox::ItemName(int index) const {
    if (index < 0 || index >= kItemCount)
        return {};
    return DecodeWindows1252(kColorTable[index].names[language_]);
}

QString TSwatchColorComboBox::HtmlColorText(uint32_t color) const {
    uint32_t bgr = ResolveColorValue(color, palette()).value_or(color & 0x00FFFFFFu);
    return QStringLiteral("#%1%2%3")
        .arg(unsigned{RedOf(bgr)}, 2, 16, QChar(u'0'))
        .arg(unsigned{GreenOf(bgr)}, 2, 16, QChar(u'0'))
        .arg(unsigned{BlueOf(bgr)}, 2, 16, QChar(u'0'))
        .toUpper();
}

bool TSwatchColorComboBox::ApplyColorValue(uint32_t value) {
    // A system colour that the palette cannot resolve would end as a wrong colour.
    if (!ResolveColorValue(value, palette()))
        return false;
    int found = -1;
    for (int i = 0; i < kMoreItem && found < 0; ++i) {
        if (ItemColor(i) == value)
            found = i;
    }
    if (found < 0) {
        setItemData(kMoreItem, static_cast<uint>(value), Qt::UserRole);
        found = kMoreItem;
    }
    setCurrentIndex(found);
    colorValue_ = value;
    SetHTMLcolor(HtmlColorText(value));
    return true;
}

void TSwatchColorComboBox::SetColorValue(uint32_t value) {
    uint32_t old = colorValue_;
    if (!ApplyColorValue(value))
        colorValue_ = old;
    update();
}

void TSwatchColorComboBox::SetHTMLcolor(const QString& text) {
    QString upper = text.toUpper();
    if (upper.isEmpty())
        upper = QStringLiteral("#000000");
    // Blue, green and red pairs from characters 6-7, 4-5 and 2-3; whatever exists of them.
    QString hex = upper.mid(5, 2) + upper.mid(3, 2) + upper.mid(1, 2);
    if (hex.isEmpty() || !std::all_of(hex.begin(), hex.end(), IsUpperHexDigit))
        return;
    uint32_t number = hex.toUInt(nullptr, 16);
    if (number != colorValue_)
        SetColorValue(number);
    htmlColor_ = upper;
}

void TSwatchColorComboBox::SetLanguage(TCLanguage language) {
    language_ = language;
    for (int i = 0; i < kItemCount; ++i)
        setItemText(i, ItemName(i));
    setCurrentIndex(currentIndex());
    update();
}

void TSwatchColorComboBox::Change(int index) {
    if (index == kMoreItem) {
        QColor initial = ColorFromBgr(ResolveColorValue(colorValue_, palette()).value_or(0));
        std::optional<QColor> chosen =
            runDialog_ ? runDialog_(initial, this) : RunQtColorDialog(initial, this);
        if (chosen)
            SetColorValue(BgrFromColor(*chosen));
    } else if (index >= 0 && index < kMoreItem) {
        SetColorValue(kColorTable[index].value);
    }
    emit OnChange();
}

void TSwatchColorComboBox::DrawItem(QPainter& painter, int index, const QRect& rect,
                                    bool selected) const {
    if (index < 0 || index >= kItemCount)
        return;
    const QPalette& pal = palette();
    QColor background = pal.color(selected ? QPalette::Highlight : QPalette::Base);
    painter.save();
    painter.fillRect(rect, background);

    // The swatch ends at a fixed x so that all swatches line up whatever the item's indent.
    int left = rect.left() + 4;
    int right = std::max(24, left + 8); // exclusive
    QRect swatch(QPoint(left, rect.top() + 1), QPoint(right - 1, rect.bottom() - 1));
    uint32_t color = index == kMoreItem ? colorValue_ : ItemColor(index);
    painter.setPen(Qt::black);
    painter.setBrush(ColorFromBgr(ResolveColorValue(color, pal).value_or(0)));
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));

    QRect textRect(QPoint(rect.left() + 30, rect.top()), rect.bottomRight());
    painter.setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter.setFont(font());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     ItemName(index));
    painter.restore();
}

void TSwatchColorComboBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    DrawItem(painter, currentIndex(), field, hasFocus() && !view()->isVisible());
}
