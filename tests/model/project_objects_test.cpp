#include "model/project_objects.h"

#include "imaging/pictavo.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

class ProjectObjectsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(LoadPictavo(CLIPMOOR_PROGRAM_DIR "/")); }
    void TearDown() override { ClearObjects(project); }

    static DibImage NewPicture(int width, int height) {
        DibImage image{};
        Pictavo().newdib(&image, width, height, 24, nullptr, 0);
        EXPECT_NE(image.pixels, nullptr);
        return image;
    }

    Project project;
};

void ExpectBox(const ObjectState& state, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    EXPECT_EQ(state.Left, left);
    EXPECT_EQ(state.Top, top);
    EXPECT_EQ(state.Right, right);
    EXPECT_EQ(state.Bottom, bottom);
}

void ExpectDefaultLook(const AnimObject& object) {
    for (const ObjectState* state : {&object.Start, &object.End}) {
        EXPECT_EQ(state->FontSize, 24);
        EXPECT_EQ(state->Rotation, 0);
        EXPECT_EQ(state->Transparency, 0);
        EXPECT_EQ(static_cast<uint32_t>(state->Color), 0x80000008u);
    }
    EXPECT_STREQ(object.Text, "Text");
    EXPECT_STREQ(object.FontName, "Arial Black");
    EXPECT_EQ(object.Shape, 0);
}

TEST_F(ProjectObjectsTest, NewObjectsStepDownAndWrapWithinTheUpperLeftQuarter) {
    AddTextObject(project);
    AddVectorObject(project);
    AnimObject* third = AddPictureObject(project, NewPicture(3, 2));
    ExpectBox(third->Start, 30, 30, 70, 70);
    ExpectBox(third->End, 130, 130, 170, 170);
    for (int i = 3; i < 16; ++i)
        AddTextObject(project);
    ExpectBox(project.Objects[15].Start, 160, 10, 200, 50);
    EXPECT_EQ(project.CurrentObject, &project.Objects[15]);
}

TEST_F(ProjectObjectsTest, TinyMoviesPlaceObjectsWithoutDividingByZero) {
    for (int32_t extent : {-5, 0, 1}) {
        ObjectPlacement at = PlaceNewObject(7, extent, extent);
        EXPECT_EQ(at.x, 0);
        EXPECT_EQ(at.y, 0);
    }
    ObjectPlacement narrow = PlaceNewObject(7, 1, 300);
    EXPECT_EQ(narrow.x, 0);
    EXPECT_EQ(narrow.y, 70);
    ObjectPlacement far = PlaceNewObject(INT32_MAX, 500, 300);
    EXPECT_GE(far.x, 0);
    EXPECT_LT(far.x, 250);
}

TEST_F(ProjectObjectsTest, TextVectorAndInsertedPictureTakeTheDefaults) {
    AnimObject* text = AddTextObject(project);
    EXPECT_EQ(text->Kind, KindText);
    ExpectDefaultLook(*text);
    EXPECT_EQ(text->Start.Time, 0);
    EXPECT_EQ(text->End.Time, 1000);
    EXPECT_TRUE(text->RemoveWhenFinished);
    EXPECT_EQ(text->Image.info, nullptr);

    AnimObject* vector = AddVectorObject(project);
    EXPECT_EQ(vector->Kind, KindVector);
    EXPECT_EQ(vector->Shape, ShapeRectangle);
    ExpectDefaultLook(*vector);

    DibImage picture = NewPicture(200, 100);
    AnimObject* inserted = AddPictureObject(project, picture);
    EXPECT_EQ(inserted->Kind, KindPicture);
    ExpectDefaultLook(*inserted);
    EXPECT_TRUE(inserted->RemoveWhenFinished);
    EXPECT_EQ(inserted->Image.pixels, picture.pixels);
    EXPECT_EQ(inserted->Start.Right - inserted->Start.Left, 40);
    EXPECT_EQ(inserted->End.Bottom - inserted->End.Top, 40);
    // The strings are the object's own copies.
    EXPECT_NE(text->Text, vector->Text);
}

TEST_F(ProjectObjectsTest, RecordedFrameKeepsItsBoxAndStaysOnScreen) {
    DibImage picture = NewPicture(5, 4);
    AnimObject* frame = AddRecordedFrame(project, {10, 20, 14, 23}, 1234, picture);
    EXPECT_EQ(frame->Kind, KindPicture);
    ExpectDefaultLook(*frame);
    EXPECT_FALSE(frame->RemoveWhenFinished);
    ExpectBox(frame->Start, 11, 21, 16, 25);
    ExpectBox(frame->End, 11, 21, 16, 25);
    EXPECT_EQ(frame->Start.Time, 1234);
    EXPECT_EQ(frame->End.Time, 2234);
    EXPECT_EQ(frame->Image.pixels, picture.pixels);
}

TEST_F(ProjectObjectsTest, ListRowsNameEveryKindAndMapBackToObjects) {
    AnimObject* text = AddTextObject(project);
    std::free(text->Text);
    text->Text = strdup("Hello");
    AddVectorObject(project);
    AddRecordedFrame(project, {0, 0, 0, 0}, 0, NewPicture(1, 1));
    AnimObject* button = AddTextObject(project);
    button->Kind = KindButton;

    EXPECT_EQ(ObjectListRows(project),
              (std::vector<std::string>{"Text object: 'Hello': Start",
                                        "  Text object: 'Hello': End", "Graphic object: Start",
                                        "  Graphic object: End", "Picture: Start", "  Picture: End",
                                        "Button: Start", "  Button: End"}));
    ObjectRow row = RowToObject(5);
    EXPECT_EQ(row.objectIndex, 2);
    EXPECT_TRUE(row.isEnd);
    EXPECT_FALSE(RowToObject(4).isEnd);
    EXPECT_EQ(StartRowOf(3), 6);
    EXPECT_EQ(EndRowOf(3), 7);
}

TEST_F(ProjectObjectsTest, TitleNamesTheFileWithoutItsFolder) {
    EXPECT_EQ(WindowTitle(""), "Vantrel Clipmoor 1.0 - [noname.fmo]");
    EXPECT_EQ(SetCurrentFileName(project, "/home/ann/projects/tour.fmo"),
              "Vantrel Clipmoor 1.0 - [tour.fmo]");
    EXPECT_EQ(project.CurrentFileName, "/home/ann/projects/tour.fmo");
    EXPECT_EQ(WindowTitle("tour.fmo"), "Vantrel Clipmoor 1.0 - [tour.fmo]");
    EXPECT_EQ(SetCurrentFileName(project, ""), "Vantrel Clipmoor 1.0 - [noname.fmo]");
}

TEST_F(ProjectObjectsTest, ClearAndDeleteReleaseObjectsButKeepThePointerTrack) {
    AddTextObject(project);
    AddVectorObject(project);
    AddPictureObject(project, NewPicture(8, 8));
    project.Objects.Add(); // zero-filled: no strings, all-zero picture
    project.PointerTrack.Add()->X = 5;

    DeleteObject(project, 1);
    DeleteObject(project, 99);
    EXPECT_EQ(project.Objects.Count(), 3);
    AnimObject& kept = project.Objects[1];
    EXPECT_EQ(kept.Kind, KindPicture);
    ReleaseObject(kept);
    EXPECT_EQ(kept.Text, nullptr);
    EXPECT_EQ(kept.FontName, nullptr);
    EXPECT_EQ(kept.Image.pixels, nullptr);

    ClearObjects(project);
    EXPECT_EQ(project.Objects.Count(), 0);
    EXPECT_EQ(project.CurrentObject, nullptr);
    EXPECT_EQ(project.PointerTrack.Count(), 1);
}

} // namespace
