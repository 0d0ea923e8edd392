// Start-up state, the window's controls and the helpers behind the commands.
#include "fake_ui_services.h"

#include "app/gui/application.h"
#include "app/gui/paint_box.h"
#include "imaging/pictavo.h"
#include "record/hooks/ras_win_god.h"
#include "widgets/swatch_color_combo_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

TEST(MainFormStartUp, FillsTheWindowFromTheScreenAndTheDefaults) {
    StartedForm s;
    ASSERT_TRUE(s.started);
    TMainForm& form = *s.form;
    EXPECT_TRUE(s.ui.messages.empty());
    EXPECT_EQ(form.windowTitle(), "Vantrel Clipmoor 1.0 - [noname.fmo]");
    EXPECT_EQ(form.ProgramFolder(), QStringLiteral(CLIPMOOR_PROGRAM_DIR "/"));
    EXPECT_EQ(form.TheProject().ProgramFolder, CLIPMOOR_PROGRAM_DIR "/");
    EXPECT_EQ(form.OpenDialog2.Filter, QString::fromUtf8(kPictureFilter));

    QScreen* screen = QGuiApplication::primaryScreen();
    QSize pixels = screen->geometry().size() * screen->devicePixelRatio();
    const CaptureArea& area = form.TheProject().Area;
    EXPECT_EQ(area.Left, 0);
    EXPECT_EQ(area.Top, 0);
    EXPECT_EQ(area.Right, pixels.width() - 1);
    EXPECT_EQ(area.Bottom, pixels.height() - 1);
    EXPECT_EQ(form.RecordTab().ScreenInfo->text(), QStringLiteral(" Area: ( 0,0 ) - ( %1,%2 ) ")
                                                       .arg(pixels.width() - 1)
                                                       .arg(pixels.height() - 1));
    EXPECT_EQ(form.TheProject().MovieWidth, 500);
    EXPECT_EQ(form.TheProject().MovieHeight, 300);
    EXPECT_EQ(form.size(), QSize(750, 550));
    ASSERT_NE(form.rasWinGod1(), nullptr);
    EXPECT_TRUE(form.rasWinGod1()->KeyboardHookInstalled());
    EXPECT_FALSE(form.rasWinGod1()->MouseHookInstalled());
}

TEST(MainFormStartUp, RunsWithoutTheHotKeyWhenTheHookLibraryIsMissing) {
    QTemporaryDir folder; // the image library, but no hook libraries
    ASSERT_TRUE(
        QFile::copy(CLIPMOOR_PROGRAM_DIR "/libPictavo.so", folder.filePath("libPictavo.so")));
    FakeUi ui;
    TMainForm form(ui);
    EXPECT_TRUE(form.FormCreate(folder.path()));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Unable to install a keyboard hook!");
    EXPECT_EQ(ui.messages[0].icon, QMessageBox::Critical);
    EXPECT_FALSE(form.rasWinGod1()->KeyboardHookInstalled());
    EXPECT_EQ(form.TheProject().MovieWidth, 500); // the rest of the start-up ran
}

TEST(MainFormStartUp, TheProjectsCompressionFollowsTheCompressionField) {
    StartedForm s;
    ASSERT_TRUE(s.started);
    EXPECT_EQ(s.form->TheProject().Compression, 25);
    s.form->RecordTab().CompressEd->setValue(0);
    EXPECT_EQ(s.form->TheProject().Compression, 0);
}

TEST(MainFormLayout, EnlargingTheWindowGrowsThePreviewAndTheObjectList) {
    StartedForm s;
    ASSERT_TRUE(s.started);
    TMainForm& form = *s.form;
    form.Controls().PageControl1->setCurrentIndex(1);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const EditorControls& c = form.Editor().Controls();
    QWidget* preview = c.PaintBox1->parentWidget(); // the scroll box's viewport
    auto sizes = [&] {
        QCoreApplication::processEvents();
        return std::pair{preview->size(), c.ListView1->size()};
    };
    EXPECT_EQ(form.size(), QSize(750, 550));
    const auto [smallPreview, smallList] = sizes();
    form.resize(1400, 1000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.size() == QSize(1400, 1000); }));
    const auto [largePreview, largeList] = sizes();
    // Nearly all the room the window gained goes to them.
    EXPECT_GE(largePreview.width() - smallPreview.width(), 550);
    EXPECT_GE(largePreview.height() - smallPreview.height(), 400);
    EXPECT_GE(largeList.height() - smallList.height(), 400);
    EXPECT_GE(largePreview.width(), form.TheProject().MovieWidth);
    EXPECT_GE(largePreview.height(), form.TheProject().MovieHeight);
}

TEST(MainFormControls, CarryTheirCaptionsRangesAndDefaults) {
    StartedForm s;
    TMainForm& f = *s.form;
    EXPECT_EQ(f.Controls().NewBtn->text(), "&New");
    EXPECT_EQ(f.Controls().OpenBtn->toolTip(), "Open a existing Clipmoor movie");
    EXPECT_EQ(f.Controls().SaveAsBtn->text(), "Save &as...");

    ASSERT_EQ(f.Controls().PageControl1->count(), 3);
    EXPECT_EQ(f.Controls().PageControl1->currentIndex(), 0);
    EXPECT_EQ(f.Controls().PageControl1->widget(0), f.Controls().TabSheet2);
    EXPECT_EQ(f.Controls().PageControl1->tabText(0), "Record screen action");
    EXPECT_EQ(f.Controls().PageControl1->tabText(1), "Edit animation");
    EXPECT_EQ(f.Controls().PageControl1->tabText(2), "Create Flash movie");
    QLabel* editHeader = f.Controls().TabSheet1->findChild<QLabel*>();
    ASSERT_NE(editHeader, nullptr);
    EXPECT_TRUE(editHeader->font().bold());
    EXPECT_EQ(editHeader->text(), "Edit animation - create new objects with a click on \"New "
                                  "object\" or change the properties of existing objects ");

    EXPECT_EQ(f.RecordTab().BpSEd->minimum(), 1);
    EXPECT_EQ(f.RecordTab().BpSEd->maximum(), 120);
    EXPECT_EQ(f.RecordTab().BpSEd->value(), 5);
    EXPECT_EQ(f.RecordTab().CompressEd->maximum(), 100);
    EXPECT_EQ(f.RecordTab().CompressEd->singleStep(), 5);
    EXPECT_EQ(f.RecordTab().CompressEd->value(), 25);
    EXPECT_TRUE(f.RecordTab().RecordBtn->isEnabled());
    EXPECT_FALSE(f.RecordTab().StopBtn->isEnabled());
    EXPECT_FALSE(f.Recording()->Timer().isActive());
    EXPECT_EQ(f.Recording()->Timer().interval(), 200);

    EXPECT_EQ(f.Editor().Controls().ListView1->headerItem()->text(0), "Object name");
    EXPECT_EQ(f.Editor().Controls().ListView1->columnWidth(0), 155);
    QStringList menu;
    for (QAction* action : f.Editor().Controls().PopupMenu1->actions())
        menu << action->text();
    EXPECT_EQ(menu, QStringList({"Text", "Vector object", "Picture"}));
    EXPECT_EQ(f.Editor().Controls().MoveDownBtn->toolTip(), "Move object down");
    EXPECT_TRUE(f.Editor().Controls().OnlyActualCheck->isChecked());
    EXPECT_FALSE(f.Editor().Controls().NoArrowsCheck->isChecked());
    EXPECT_EQ(f.Editor().Controls().PaintBox1->size(), QSize(500, 300));

    EXPECT_EQ(f.Editor().Controls().PageControl2->currentWidget(), f.Editor().Controls().TextPage);
    EXPECT_FALSE(f.Editor().Controls().PageControl2->isTabEnabled(0));
    EXPECT_FALSE(f.Editor().Controls().PageControl2->isTabEnabled(1));
    EXPECT_TRUE(f.Editor().Controls().PageControl2->isTabEnabled(2));
    EXPECT_EQ(f.Editor().Controls().FontSize->currentText(), "12");
    EXPECT_EQ(f.Editor().Controls().FontSize->count(), 24);
    EXPECT_EQ(f.Editor().Controls().RotEd->decimals(), 1);
    EXPECT_EQ(f.Editor().Controls().RotEd->singleStep(), 10);
    EXPECT_EQ(f.Editor().Controls().TimeEd2->singleStep(), 1000);
    EXPECT_EQ(f.Editor().Controls().TransEd->tickInterval(), 10);
    EXPECT_TRUE(f.Editor().Controls().DelObCheck->isChecked());
    EXPECT_EQ(f.Editor().Controls().TFarbeEd->HTMLcolor(), "#000000");
    EXPECT_EQ(f.Editor().Controls().ObjectKindBox->itemText(1), "Ellipse");

    EXPECT_TRUE(f.Export().Controls().AutoLoadFlashCheck->isChecked());
    EXPECT_TRUE(f.Export().Controls().CreateHTMLCheck->isChecked());
    EXPECT_EQ(f.SaveDialog1.DefaultExt, ".swf");
}

TEST(FileDialogs, FiltersAndOptionsComeFromTheProgramsFilterStrings) {
    QStringList pictures = ConvertFileFilter(QString::fromUtf8(kPictureFilter));
    ASSERT_EQ(pictures.size(), 14);
    EXPECT_EQ(pictures.first(), "All picture (*.BMP *.DIB *.GIF *.IFF *.JIF *.JPG *.LBM *.PCX "
                                "*.RLE *.TGA *.TIF *.PNG)");
    EXPECT_EQ(pictures[1], "BMP - Windows,OS/2 Bitmap (*.BMP)");
    EXPECT_EQ(pictures.last(), "All files (*)");
    EXPECT_EQ(ConvertFileFilter(kProjectFilter), QStringList{"Clipmoor files (*.fmo)"});

    FileDialogRequest request{FileDialogMode::Save, {"Clipmoor files (*.fmo)"}, "fmo", {}};
    std::unique_ptr<QFileDialog> save = BuildFileDialog(nullptr, request);
    EXPECT_EQ(save->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_TRUE(save->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(save->defaultSuffix(), "fmo");
    EXPECT_EQ(save->nameFilters(), request.nameFilters);
    request.mode = FileDialogMode::Open;
    EXPECT_EQ(BuildFileDialog(nullptr, request)->fileMode(), QFileDialog::ExistingFile);
}

TEST(MessageBoxes, ShowTextCaptionButtonsAndIcon) {
    std::unique_ptr<QMessageBox> box = BuildMessageBox(
        nullptr, {"You will lose any information that is not saved up to now.", "File/New",
                  QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Information});
    EXPECT_EQ(box->windowTitle(), "File/New");
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box->icon(), QMessageBox::Information);
    EXPECT_EQ(box->text(), "You will lose any information that is not saved up to now.");
    EXPECT_FALSE(box->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(BuildMessageBox(
                    nullptr, {"?", "Record now", QMessageBox::Ok, QMessageBox::Information, true})
                    ->windowFlags()
                    .testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(DefaultCaption(), "Clipmoor");
}

TEST(ProgramFolder, GetsExactlyOneTrailingSlash) {
    EXPECT_EQ(WithTrailingSlash("/opt/clipmoor"), "/opt/clipmoor/");
    EXPECT_EQ(WithTrailingSlash("/opt/clipmoor/"), "/opt/clipmoor/");
    EXPECT_EQ(WithTrailingSlash("/"), "/");
    EXPECT_EQ(AreaLabelText({0, 0, 1023, 767}), " Area: ( 0,0 ) - ( 1023,767 ) ");
}

TEST(ProjectTexts, DecodeUtf8AndFallBackToTheWindowsCodePage) {
    EXPECT_EQ(ProjectText("Gr\xC3\xBC\xC3\x9F"), QString::fromUtf8("Grüß"));
    EXPECT_EQ(ProjectText("Gr\xFC\xDF"), QString::fromUtf8("Grüß"));
}

// An exception thrown by a handler is shown and the program goes on.
struct ThrowingObject : QObject {
    bool event(QEvent*) override { throw std::runtime_error("Disk on fire"); }
};

TEST(Application, ReportsExceptionsThatEscapeHandlers) {
    FakeUi ui;
    TApplication::SetErrorReporter(&ui);
    ThrowingObject object;
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&object, &event);
    TApplication::SetErrorReporter(nullptr);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Disk on fire");
    EXPECT_EQ(ui.messages[0].icon, QMessageBox::Critical);
}

} // namespace
