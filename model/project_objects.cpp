#include "model/project_objects.h"

#include "imaging/pictavo.h"
#include "imaging/picture_import.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

char* HeapCopy(const char* text) {
    char* copy = strdup(text);
    if (!copy)
        throw std::bad_alloc();
    return copy;
}

void FillDefaultState(ObjectState& state) {
    state.FontSize = kDefaultFontSize;
    state.Rotation = 0;
    state.Transparency = 0;
    state.Color = static_cast<int32_t>(kSystemColorWindowText);
}

// Kind, box and times are the caller's; everything else takes the defaults of new objects.
AnimObject* AddDefaultObject(Project& project, int32_t kind) {
    AnimObject* object = project.Objects.Add();
    object->Kind = kind;
    object->Shape = ShapeRectangle;
    object->RemoveWhenFinished = true;
    FillDefaultState(object->Start);
    FillDefaultState(object->End);
    object->Text = HeapCopy("Text");
    object->FontName = HeapCopy(kDefaultFontName);
    return object;
}

AnimObject* AddPlacedObject(Project& project, int32_t kind) {
    AnimObject* object = AddDefaultObject(project, kind);
    ObjectPlacement at =
        PlaceNewObject(project.Objects.Count(), project.MovieWidth, project.MovieHeight);
    object->Start.Left = at.x;
    object->Start.Top = at.y;
    object->Start.Right = at.x + 40;
    object->Start.Bottom = at.y + 40;
    object->End.Left = at.x + 100;
    object->End.Top = at.y + 100;
    object->End.Right = at.x + 140;
    object->End.Bottom = at.y + 140;
    object->Start.Time = 0;
    object->End.Time = 1000;
    return object;
}

int32_t WrapWithinHalf(int64_t offset, int32_t extent) {
    int32_t half = extent / 2;
    return half > 0 ? static_cast<int32_t>(offset % half) : 0;
}

} // namespace

void ReleaseObject(AnimObject& object) {
    std::free(object.Text);
    std::free(object.FontName);
    object.Text = nullptr;
    object.FontName = nullptr;
    // The library accepts all-zero records; without it loaded no picture can exist.
    if (PictavoLoaded())
        Pictavo().deldib(object.Image);
    std::memset(static_cast<void*>(&object.Image), 0, sizeof(object.Image));
}

void ClearObjects(Project& project) {
    for (AnimObject& object : project.Objects)
        ReleaseObject(object);
    project.Objects.Clear();
}

void DeleteObject(Project& project, int32_t index) {
    if (index < 0 || index >= project.Objects.Count())
        return;
    ReleaseObject(project.Objects[index]);
    project.Objects.Delete(index);
}

ObjectPlacement PlaceNewObject(int32_t objectCount, int32_t movieWidth, int32_t movieHeight) {
    int64_t offset = static_cast<int64_t>(objectCount) * 10;
    return {WrapWithinHalf(offset, movieWidth), WrapWithinHalf(offset, movieHeight)};
}

AnimObject* AddTextObject(Project& project) {
    return AddPlacedObject(project, KindText);
}

AnimObject* AddVectorObject(Project& project) {
    return AddPlacedObject(project, KindVector);
}

AnimObject* AddPictureObject(Project& project, const DibImage& picture) {
    AnimObject* object = AddPlacedObject(project, KindPicture);
    object->Image = picture;
    return object;
}

PictureObjectResult AddPictureFromFile(Project& project, const std::string& fileName) {
    PictureImport picture = ImportPictureFile(fileName);
    if (!picture.ok())
        return {nullptr, picture.error};
    return {AddPictureObject(project, picture.image), nullptr};
}

AnimObject* AddRecordedFrame(Project& project, const ChangedBox& box, int32_t timeMs,
                             const DibImage& picture) {
    AnimObject* object = AddDefaultObject(project, KindPicture);
    object->RemoveWhenFinished = false;
    object->Start.Left = box.x0 + 1;
    object->Start.Top = box.y0 + 1;
    object->Start.Right = box.x1 + 2;
    object->Start.Bottom = box.y1 + 2;
    object->Start.Time = timeMs;
    object->End = object->Start;
    object->End.Time = timeMs + 1000;
    object->Image = picture;
    return object;
}

std::string ObjectRowText(const AnimObject& object, bool endRow) {
    std::string text;
    switch (object.Kind) {
    case KindText:
        text = std::string("Text object: '") + (object.Text ? object.Text : "") + "'";
        break;
    case KindVector:
        text = "Graphic object";
        break;
    case KindPicture:
        text = "Picture";
        break;
    case KindButton:
        text = "Button";
        break;
    default:
        // Files with other kinds are rejected on loading; this keeps the list readable anyway.
        text = "Object of kind " + std::to_string(object.Kind);
        break;
    }
    return endRow ? "  " + text + ": End" : text + ": Start";
}

std::vector<std::string> ObjectListRows(const Project& project) {
    std::vector<std::string> rows;
    rows.reserve(static_cast<size_t>(project.Objects.Count()) * 2);
    for (const AnimObject& object : project.Objects) {
        rows.push_back(ObjectRowText(object, false));
        rows.push_back(ObjectRowText(object, true));
    }
    return rows;
}

std::string WindowTitle(const std::string& currentFileName) {
    std::string title = std::string(kProgramTitle) + " - [";
    if (currentFileName.empty())
        return title + "noname.fmo]";
    size_t slash = currentFileName.find_last_of('/');
    return title +
           (slash == std::string::npos ? currentFileName : currentFileName.substr(slash + 1)) + "]";
}

std::string SetCurrentFileName(Project& project, const std::string& fileName) {
    project.CurrentFileName = fileName;
    return WindowTitle(fileName);
}
