#include "widgets/swatch_color_combo_box.h"
#include "widgets/system_colors.h"

#include <QAbstractItemView>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr uint32_t kRed = 0x0000FF;
constexpr uint32_t kWhite = 0xFFFFFF;

struct ColorBoxTest : testing::Test {
    TSwatchColorComboBox box;
    QSignalSpy changes{&box, &TSwatchColorComboBox::OnChange};
};

TEST_F(ColorBoxTest, StartsBlackWithSeventeenItems) {
    EXPECT_EQ(box.count(), 17);
    EXPECT_EQ(box.currentIndex(), 0);
    EXPECT_EQ(box.ColorValue(), 0u);
    EXPECT_EQ(box.HTMLcolor(), "#000000");
    EXPECT_EQ(box.Language(), lgEnglish);
    EXPECT_EQ(box.width(), 120);
    EXPECT_EQ(box.ItemColor(9), kRed);
    EXPECT_EQ(box.ItemColor(16), kWhite);
}

TEST_F(ColorBoxTest, HtmlTextSelectsTheMatchingColour) {
    box.SetHTMLcolor("#ff0000");
    EXPECT_EQ(box.ColorValue(), kRed);
    EXPECT_EQ(box.currentIndex(), 9);
    EXPECT_EQ(box.HTMLcolor(), "#FF0000");

    box.SetHTMLcolor("");
    EXPECT_EQ(box.ColorValue(), 0u);
    EXPECT_EQ(box.currentIndex(), 0);
    EXPECT_EQ(box.HTMLcolor(), "#000000");
}

TEST_F(ColorBoxTest, UnreadableHtmlTextChangesNothing) {
    box.SetHTMLcolor("#00ff00");
    for (const char* bad : {"#GG0000", "#", "#0x1234"}) {
        box.SetHTMLcolor(bad);
        EXPECT_EQ(box.HTMLcolor(), "#00FF00") << bad;
        EXPECT_EQ(box.ColorValue(), 0x00FF00u) << bad;
        EXPECT_EQ(box.currentIndex(), 10) << bad;
    }
}

TEST_F(ColorBoxTest, ShortHtmlTextReadsOnlyTheCharactersThatExist) {
    // "RED": character 1 is skipped, characters 2-3 are "ED", the others are missing.
    box.SetHTMLcolor("red");
    EXPECT_EQ(box.ColorValue(), 0x0000EDu);
    EXPECT_EQ(box.currentIndex(), 16);
    EXPECT_EQ(box.HTMLcolor(), "RED");
}

TEST_F(ColorBoxTest, ColourValueOutsideTheTableGoesToMore) {
    box.SetColorValue(0x123456);
    EXPECT_EQ(box.currentIndex(), 16);
    EXPECT_EQ(box.ItemColor(16), 0x123456u);
    EXPECT_EQ(box.HTMLcolor(), "#563412");

    box.SetColorValue(kWhite);
    EXPECT_EQ(box.currentIndex(), 15);
    EXPECT_EQ(box.HTMLcolor(), "#FFFFFF");
    EXPECT_EQ(changes.count(), 0); // only the user's choices fire OnChange
}

TEST_F(ColorBoxTest, SystemColoursResolveThroughThePalette) {
    QPalette palette = box.palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    box.setPalette(palette);
    box.SetColorValue(0x123456);
    box.SetColorValue(0x80000008u); // window text
    EXPECT_EQ(box.ColorValue(), 0u);
    EXPECT_EQ(box.currentIndex(), 0);
    EXPECT_EQ(box.HTMLcolor(), "#000000");

    palette.setColor(QPalette::WindowText, QColor(0x12, 0x34, 0x56));
    box.setPalette(palette);
    box.SetColorValue(0x80000008u);
    EXPECT_EQ(box.ColorValue(), 0x563412u);
    EXPECT_EQ(box.currentIndex(), 16);
    EXPECT_EQ(box.HTMLcolor(), "#123456");

    // An index no system colour has keeps the old colour.
    box.SetColorValue(0x800000F0u);
    EXPECT_EQ(box.ColorValue(), 0x563412u);
    EXPECT_EQ(box.HTMLcolor(), "#123456");
}

TEST_F(ColorBoxTest, UserChoosesTableColoursAndTheDialog) {
    std::optional<QColor> answer;
    int dialogs = 0;
    QColor presetSeen;
    box.SetColorDialogRunner([&](const QColor& initial, QWidget*) {
        ++dialogs;
        presetSeen = initial;
        return answer;
    });
    box.show();
    box.setFocus();

    QTest::keyClick(&box, Qt::Key_Down); // Maroon
    EXPECT_EQ(box.ColorValue(), 0x000080u);
    EXPECT_EQ(changes.count(), 1);

    // "More..." with the dialog cancelled: colour kept, item 16 stays, OnChange fires.
    QTest::keyClick(&box, Qt::Key_End);
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(presetSeen, QColor(0x80, 0, 0));
    EXPECT_EQ(box.currentIndex(), 16);
    EXPECT_EQ(box.ColorValue(), 0x000080u);
    EXPECT_EQ(changes.count(), 2);

    answer = QColor(1, 2, 3);
    box.Change(16);
    EXPECT_EQ(box.ColorValue(), 0x030201u);
    EXPECT_EQ(box.currentIndex(), 16);
    EXPECT_EQ(box.HTMLcolor(), "#010203");

    // A dialog colour that is in the table selects the table entry.
    answer = QColor(255, 255, 255);
    box.Change(16);
    EXPECT_EQ(box.currentIndex(), 15);
    EXPECT_EQ(changes.count(), 4);
}

TEST_F(ColorBoxTest, NamesInThreeLanguages) {
    EXPECT_EQ(box.ItemName(16), "More...");
    box.SetLanguage(lgDeutsch);
    EXPECT_EQ(box.ItemName(2), QString::fromUtf8("Grün"));
    EXPECT_EQ(box.ItemName(15), QString::fromUtf8("Weiß"));
    EXPECT_EQ(box.itemText(16), "Mehr...");
    box.SetLanguage(lgFrensh);
    EXPECT_EQ(box.ItemName(1), QString::fromUtf8("Rouge foncé"));
    EXPECT_EQ(box.ItemName(8), QString::fromUtf8("Argenté"));
    EXPECT_EQ(box.ItemName(2), "Vert");
    EXPECT_EQ(box.ItemName(10), "Vert");
    EXPECT_EQ(box.ItemName(16), "Autres....");
    EXPECT_EQ(DecodeWindows1252("\x80 \x9F"), QString::fromUtf8("€ Ÿ"));
}

TEST_F(ColorBoxTest, SwatchesShowItemColoursAndMoreShowsTheCurrentColour) {
    box.SetColorValue(0x123456);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QImage closed = box.grab().toImage();
    EXPECT_EQ(closed.pixelColor(14 * closed.devicePixelRatio(), closed.height() / 2),
              QColor(0x56, 0x34, 0x12));

    box.showPopup();
    QAbstractItemView* list = box.view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
    QImage image = list->viewport()->grab().toImage();
    qreal ratio = image.devicePixelRatio();
    auto swatchColor = [&](int row) {
        QRect item = list->visualRect(box.model()->index(row, 0));
        return image.pixelColor(int(14 * ratio), int(item.center().y() * ratio));
    };
    EXPECT_EQ(swatchColor(9), QColor(255, 0, 0));
    EXPECT_EQ(swatchColor(4), QColor(0, 0, 0x80));
    EXPECT_EQ(swatchColor(16), QColor(0x56, 0x34, 0x12));
    box.hidePopup();
}

} // namespace
