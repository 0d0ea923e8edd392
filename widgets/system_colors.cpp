#include "widgets/system_colors.h"

namespace {

// The classic system colour indices and the palette entries that play their part here.
std::optional<QColor> SystemColor(uint32_t index, const QPalette& p) {
    using R = QPalette::ColorRole;
    const QPalette::ColorGroup inactive = QPalette::Inactive;
    switch (index) {
    case 0:
        return p.color(R::Button); // scroll bar
    case 1:
        return p.color(R::Dark); // desktop background
    case 2:
        return p.color(R::Highlight); // active caption
    case 3:
        return p.color(inactive, R::Highlight); // inactive caption
    case 4:
        return p.color(R::Window); // menu
    case 5:
        return p.color(R::Base); // window
    case 6:
        return p.color(R::Shadow); // window frame
    case 7:
        return p.color(R::WindowText); // menu text
    case 8:
        return p.color(R::WindowText); // window text
    case 9:
        return p.color(R::HighlightedText); // caption text
    case 10:
        return p.color(R::Window); // active border
    case 11:
        return p.color(inactive, R::Window); // inactive border
    case 12:
        return p.color(R::Mid); // application workspace
    case 13:
        return p.color(R::Highlight); // highlight
    case 14:
        return p.color(R::HighlightedText); // highlighted text
    case 15:
        return p.color(R::Button); // button face
    case 16:
        return p.color(R::Dark); // button shadow
    case 17:
        return p.color(QPalette::Disabled, R::Text); // grey text
    case 18:
        return p.color(R::ButtonText); // button text
    case 19:
        return p.color(inactive, R::HighlightedText); // inactive caption text
    case 20:
        return p.color(R::Light); // button highlight
    case 21:
        return p.color(R::Shadow); // 3-D dark shadow
    case 22:
        return p.color(R::Midlight); // 3-D light
    case 23:
        return p.color(R::ToolTipText); // tool tip text
    case 24:
        return p.color(R::ToolTipBase); // tool tip background
    case 26:
        return p.color(R::Link); // hot-tracked item
    case 27:
        return p.color(R::Highlight); // gradient active caption
    case 28:
        return p.color(inactive, R::Highlight); // gradient inactive caption
    case 29:
        return p.color(R::Highlight); // menu highlight
    case 30:
        return p.color(R::Window); // menu bar
    default:
        return std::nullopt;
    }
}

} // namespace

QColor ColorFromBgr(uint32_t bgr) {
    return QColor(RedOf(bgr), GreenOf(bgr), BlueOf(bgr));
}

uint32_t BgrFromColor(const QColor& color) {
    QColor rgb = color.toRgb();
    return static_cast<uint32_t>(rgb.red()) | (static_cast<uint32_t>(rgb.green()) << 8) |
           (static_cast<uint32_t>(rgb.blue()) << 16);
}

std::optional<uint32_t> ResolveColorValue(uint32_t value, const QPalette& palette) {
    if (!IsSystemColorReference(value))
        return value & 0x00FFFFFFu;
    // Only the low byte names the colour; anything else in the reference is not ours.
    if ((value & 0x7FFFFF00u) != 0)
        return std::nullopt;
    // System colours are the desktop's: a disabled or inactive widget's palette group must
    // not turn window text grey.
    QPalette active = palette;
    active.setCurrentColorGroup(QPalette::Active);
    std::optional<QColor> color = SystemColor(value & 0xFFu, active);
    if (!color)
        return std::nullopt;
    return BgrFromColor(*color);
}
