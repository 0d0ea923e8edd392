// Object editing on the real main window: the menu commands, the list, the property pages.
#include "editor_test_support.h"

#include "imaging/pictavo.h"
#include "widgets/swatch_color_combo_box.h"
#include "widgets/system_colors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>

namespace {

TEST(ObjectEditing, NewTextObjectIsPlacedListedAndSelected) {
    EditorWindow w;
    ASSERT_TRUE(w.started);
    ASSERT_NE(w.editor, nullptr);
    EXPECT_FALSE(w.PageEnabled(0));
    EXPECT_FALSE(w.PageEnabled(1));
    EXPECT_TRUE(w.PageEnabled(2));

    w.AddTexts(3);
    ASSERT_EQ(w.project.Objects.Count(), 3);
    const AnimObject& third = w.project.Objects[2];
    EXPECT_EQ(third.Kind, KindText);
    EXPECT_EQ(
        (std::array{third.Start.Left, third.Start.Top, third.Start.Right, third.Start.Bottom}),
        (std::array{30, 30, 70, 70}));
    EXPECT_EQ((std::array{third.End.Left, third.End.Top, third.End.Right, third.End.Bottom}),
              (std::array{130, 130, 170, 170}));
    EXPECT_EQ(third.Start.Time, 0);
    EXPECT_EQ(third.End.Time, 1000);
    EXPECT_STREQ(third.Text, "Text");
    EXPECT_STREQ(third.FontName, "Arial Black");
    EXPECT_EQ(third.Start.FontSize, 24);

    EXPECT_EQ(w.Rows(), 6);
    EXPECT_EQ(w.Row(4), "Text object: 'Text': Start");
    EXPECT_EQ(w.Row(5), "  Text object: 'Text': End");
    EXPECT_EQ(w.editor->SelectedRow(), 4);
    EXPECT_EQ(w.project.CurrentObject, &w.project.Objects[2]);
    EXPECT_EQ(w.c.PageControl2->currentIndex(), 0);
    EXPECT_TRUE(w.PageEnabled(0));
    EXPECT_FALSE(w.PageEnabled(1));
    EXPECT_FALSE(w.PageEnabled(2));
    EXPECT_EQ(w.c.TextEd->text(), "Text");
    EXPECT_EQ(w.c.FontEd->currentText(), "Arial Black");
    EXPECT_EQ(w.c.FontSize->currentText(), "24");
    EXPECT_EQ(w.c.TimeEd->value(), 0);
    EXPECT_TRUE(w.c.DelObCheck->isChecked());
    // The default colour is the window-text system colour, shown as what it resolves to.
    const QColor windowText = w.f.palette().color(QPalette::Active, QPalette::WindowText);
    EXPECT_EQ(w.c.TFarbeEd->ColorValue(), BgrFromColor(windowText));
    if (windowText == Qt::black) {
        EXPECT_EQ(w.c.TFarbeEd->currentIndex(), 0);
    }

    w.c.VektorObjekt1->trigger();
    EXPECT_EQ(w.project.Objects[3].Kind, KindVector);
    EXPECT_EQ(w.project.Objects[3].Shape, ShapeRectangle);
    EXPECT_EQ(w.Row(6), "Graphic object: Start");
    EXPECT_EQ(w.editor->SelectedRow(), 6);
    EXPECT_EQ(w.c.PageControl2->currentIndex(), 1);
    EXPECT_FALSE(w.PageEnabled(0));
    EXPECT_TRUE(w.PageEnabled(1));
}

TEST(ObjectEditing, NewObjectButtonOpensItsMenuBelowItself) {
    EditorWindow w;
    ASSERT_TRUE(w.started);
    w.Show();
    w.c.NewObjBtn->click();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.c.PopupMenu1));
    const QPoint below = w.c.NewObjBtn->mapToGlobal(QPoint(0, w.c.NewObjBtn->height()));
    EXPECT_LE((w.c.PopupMenu1->geometry().topLeft() - below).manhattanLength(), 2);
    QStringList items;
    for (QAction* action : w.c.PopupMenu1->actions())
        items << action->text();
    EXPECT_EQ(items, (QStringList{"Text", "Vector object", "Picture"}));
    w.c.PopupMenu1->hide();
}

TEST(ObjectEditing, FontDropDownListsTheInstalledFamilies) {
    EditorWindow w;
    ASSERT_TRUE(w.started);
    const QStringList families = QFontDatabase::families();
    ASSERT_FALSE(families.isEmpty());
    EXPECT_GE(w.c.FontEd->findText(families.first()), 0);
    w.AddTexts(1);
    w.c.FontEd->setCurrentIndex(w.c.FontEd->findText(families.last()));
    EXPECT_EQ(QString::fromUtf8(w.project.Objects[0].FontName), families.last());
}

TEST(ObjectEditing, PropertyFieldsWriteTheSelectedState) {
    EditorWindow w;
    ASSERT_TRUE(w.started);
    w.AddTexts(1);
    w.editor->SelectRow(1); // End state
    w.c.RotEd->setValue(45.5);
    w.c.TimeEd->setValue(2500);
    w.c.TransEd->setValue(40);
    w.c.TFarbeEd->Change(9); // "Red", as a user's choice
    w.c.DelObCheck->setChecked(false);
    const AnimObject& object = w.project.Objects[0];
    EXPECT_EQ(object.End.Rotation, 455);
    EXPECT_EQ(object.End.Time, 2500);
    EXPECT_EQ(object.End.Transparency, 40);
    EXPECT_EQ(object.End.Color, 0x0000FF);
    EXPECT_FALSE(object.RemoveWhenFinished);
    EXPECT_EQ(object.Start.Rotation, 0) << "the other state keeps its values";
    EXPECT_EQ(object.Start.Time, 0);
    EXPECT_EQ(static_cast<uint32_t>(object.Start.Color), kSystemColorWindowText);

    w.editor->SelectRow(0);
    EXPECT_EQ(w.c.RotEd->value(), 0);
    EXPECT_EQ(w.c.TimeEd->value(), 0);
    w.editor->SelectRow(1);
    EXPECT_EQ(w.c.RotEd->value(), 45) << "whole degrees are shown";
    EXPECT_EQ(w.c.TimeEd->value(), 2500);
    EXPECT_EQ(w.c.TransEd->value(), 40);
    EXPECT_EQ(object.End.Rotation, 455) << "showing it does not write it back";

    // Vector page: the shape belongs to the object.
    w.c.VektorObjekt1->trigger();
    w.c.ObjectKindBox->setCurrentIndex(1);
    w.c.RotEd2->setValue(-12.3);
    EXPECT_EQ(w.project.Objects[1].Shape, ShapeEllipse);
    EXPECT_EQ(w.project.Objects[1].Start.Rotation, -123);
}

TEST(ObjectEditing, FontSizeBoxKeepsOnlyValidSizes) {
    EditorWindow w;
    ASSERT_TRUE(w.started);
    w.AddTexts(1);
    ASSERT_EQ(w.project.CurrentFontSize, 24);
    for (const char* bad : {"0", "1000", "large"}) {
        w.c.FontSize->setEditText(QString::fromLatin1(bad));
        EXPECT_EQ(w.c.FontSize->currentText(), "24") << bad;
        EXPECT_EQ(w.project.Objects[0].Start.FontSize, 24) << bad;
    }
    w.c.FontSize->setEditText("36");
    EXPECT_EQ(w.project.CurrentFontSize, 36);
    EXPECT_EQ(w.project.Objects[0].Start.FontSize, 36);
    EXPECT_EQ(w.project.Objects[0].End.FontSize, 24);

    // Without a selected row the size is kept for the next state but written nowhere.
    w.c.ListView1->clearSelection();
    w.c.FontSize->setEditText("48");
    EXPECT_EQ(w.project.CurrentFontSize, 48);
    EXPECT_EQ(w.project.Objects[0].Start.FontSize, 36);
}

TEST(ObjectEditing, RenamingKeepsTheSelectionWithoutRefillingThePage) {
    EditorWindow w;
    ASSERT_TRUE(w.started);
    w.AddTexts(2);
    w.editor->SelectRow(1);
    // Changed behind the page's back: a refill would show it.
    w.project.Objects[0].End.Time = 777;
    w.c.TextEd->setText("Hi");
    EXPECT_STREQ(w.project.Objects[0].Text, "Hi");
    EXPECT_EQ(w.Row(0), "Text object: 'Hi': Start");
    EXPECT_EQ(w.Row(1), "  Text object: 'Hi': End");
    EXPECT_EQ(w.Row(2), "Text object: 'Text': Start");
    EXPECT_EQ(w.editor->SelectedRow(), 1);
    EXPECT_EQ(w.c.TimeEd->value(), 1000);
    EXPECT_FALSE(w.editor->RebuildingList);
}

TEST(ObjectEditing, MoveUpAndDownStopAtTheEnds) {
    EditorWindow w;
    ASSERT_TRUE(w.started);
    w.AddTexts(3);
    for (int i = 0; i < 3; ++i)
        w.project.Objects[i].Start.Time = i; // tells the objects apart
    auto order = [&] {
        return std::array{w.project.Objects[0].Start.Time, w.project.Objects[1].Start.Time,
                          w.project.Objects[2].Start.Time};
    };
    w.editor->SelectRow(0);
    w.c.MoveUpBtn->click();
    EXPECT_EQ(order(), (std::array{0, 1, 2}));
    EXPECT_EQ(w.editor->SelectedRow(), 0);
    w.editor->SelectRow(5);
    w.c.MoveDownBtn->click();
    EXPECT_EQ(order(), (std::array{0, 1, 2}));

    w.editor->SelectRow(1); // End row of object 0
    w.c.MoveDownBtn->click();
    EXPECT_EQ(order(), (std::array{1, 0, 2}));
    EXPECT_EQ(w.editor->SelectedRow(), 2);
    w.editor->SelectRow(5);
    w.c.MoveUpBtn->click();
    EXPECT_EQ(order(), (std::array{1, 2, 0}));
    EXPECT_EQ(w.editor->SelectedRow(), 2);
}

TEST(ObjectEditing, DeleteLeavesNoSelectionAndTheFieldsWriteNothing) {
    EditorWindow w;
    ASSERT_TRUE(w.started);
    w.AddTexts(2);
    w.project.Objects[1].Start.Time = 5;
    w.editor->SelectRow(0);
    w.c.DellObBtn->click();
    ASSERT_EQ(w.project.Objects.Count(), 1);
    EXPECT_EQ(w.project.Objects[0].Start.Time, 5);
    EXPECT_EQ(w.Rows(), 2);
    EXPECT_EQ(w.editor->SelectedRow(), -1);
    EXPECT_EQ(w.c.TextEd->text(), "Text") << "the page keeps its values";
    w.c.TimeEd->setValue(4000);
    w.c.TextEd->setText("Gone");
    EXPECT_EQ(w.project.Objects[0].Start.Time, 5);
    EXPECT_STREQ(w.project.Objects[0].Text, "Text");

    w.c.DellObBtn->click(); // nothing selected: nothing deleted
    EXPECT_EQ(w.project.Objects.Count(), 1);
}

TEST(ObjectEditing, ButtonRowsFillNoPage) {
    EditorWindow w;
    ASSERT_TRUE(w.started);
    w.AddTexts(2);
    w.project.Objects[1].Kind = KindButton; // only a file makes these
    w.f.RefreshObjectList();
    EXPECT_EQ(w.Row(2), "Button: Start");
    w.editor->SelectRow(0);
    w.c.TimeEd->setValue(3000);
    const bool before[] = {w.PageEnabled(0), w.PageEnabled(1), w.PageEnabled(2)};
    const int page = w.c.PageControl2->currentIndex();
    w.project.Objects[1].Start.Time = 42;
    w.editor->SelectRow(2);
    EXPECT_EQ(w.editor->SelectedRow(), 2);
    EXPECT_EQ(w.c.TimeEd->value(), 3000);
    EXPECT_EQ(w.c.PageControl2->currentIndex(), page);
    EXPECT_EQ((std::array{w.PageEnabled(0), w.PageEnabled(1), w.PageEnabled(2)}),
              (std::array{before[0], before[1], before[2]}));
}

TEST(ObjectEditing, PictureIsImportedAsA24BitObject) {
    EditorWindow w;
    ASSERT_TRUE(w.started);
    QTemporaryDir folder;
    QImage source(200, 100, QImage::Format_Indexed8);
    source.setColorCount(2);
    source.setColor(0, qRgb(10, 20, 30));
    source.setColor(1, qRgb(200, 100, 50));
    source.fill(1);
    const QString path = folder.filePath("picture.bmp");
    ASSERT_TRUE(source.save(path));

    w.ui.fileAnswers = {path};
    w.c.Bild1->trigger();
    ASSERT_EQ(w.project.Objects.Count(), 1);
    const AnimObject& object = w.project.Objects[0];
    EXPECT_EQ(object.Kind, KindPicture);
    EXPECT_EQ(DibBitCount(object.Image), 24);
    EXPECT_EQ(DibWidth(object.Image), 200);
    EXPECT_EQ(DibHeight(object.Image), 100);
    const uint8_t* pixel = DibRow(object.Image, 0);
    EXPECT_EQ((std::array{pixel[0], pixel[1], pixel[2]}), (std::array<uint8_t, 3>{50, 100, 200}));
    EXPECT_EQ(object.Start.Right - object.Start.Left, 40);
    EXPECT_EQ(w.Row(0), "Picture: Start");
    EXPECT_EQ(w.editor->SelectedRow(), 0);
    EXPECT_EQ(w.c.PageControl2->currentIndex(), 2);
    ASSERT_EQ(w.ui.fileRequests.size(), 1u);
    EXPECT_TRUE(w.ui.fileRequests[0].nameFilters.first().startsWith("All picture"));

    // A file the image library cannot read, and a cancelled dialog.
    const QString junk = folder.filePath("junk.png");
    QFile file(junk);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    w.ui.fileAnswers = {junk};
    w.c.Bild1->trigger();
    w.c.Bild1->trigger();
    EXPECT_EQ(w.project.Objects.Count(), 1);
    ASSERT_EQ(w.ui.messages.size(), 1u);
    EXPECT_EQ(w.ui.messages[0].text, "Can not open picture!");
    EXPECT_EQ(w.ui.messages[0].icon, QMessageBox::Critical);
    EXPECT_EQ(w.ui.messages[0].buttons, QMessageBox::Ok);
    EXPECT_EQ(w.ui.messages[0].caption, DefaultCaption());
}

} // namespace
