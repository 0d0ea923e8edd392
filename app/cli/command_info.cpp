// clipmoor-cli info PROJECT.fmo: what a project file holds, in readable form.
#include "cli_command.h"

#include "imaging/pictavo.h"
#include "model/project_file.h"
#include "model/project_objects.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>

namespace {

const char* KindName(const AnimObject& object) {
    switch (object.Kind) {
    case KindText:
        return "Text";
    case KindVector:
        return object.Shape == ShapeEllipse ? "Vector (ellipse)" : "Vector (rectangle)";
    case KindPicture:
        return "Picture";
    case KindButton:
        return "Button";
    default:
        return "Unknown";
    }
}

std::string ColorText(int32_t color) {
    char text[32];
    auto value = static_cast<uint32_t>(color);
    if (IsSystemColorReference(value))
        std::snprintf(text, sizeof text, "system colour %u", value & 0xFFu);
    else
        std::snprintf(text, sizeof text, "#%02X%02X%02X", unsigned{RedOf(value)},
                      unsigned{GreenOf(value)}, unsigned{BlueOf(value)});
    return text;
}

// Tenths of a degree as "-4.5".
std::string DegreesText(int32_t tenths) {
    int64_t magnitude = std::llabs(static_cast<int64_t>(tenths));
    return (tenths < 0 ? "-" : "") + std::to_string(magnitude / 10) + "." +
           std::to_string(magnitude % 10);
}

void PrintState(std::ostream& out, const char* name, const ObjectState& state) {
    out << "    " << name << ": box (" << state.Left << ", " << state.Top << ")-(" << state.Right
        << ", " << state.Bottom << "), " << int64_t{state.Right} - state.Left << " x "
        << int64_t{state.Bottom} - state.Top << ", time " << state.Time << " ms, font size "
        << state.FontSize << ", rotation " << DegreesText(state.Rotation)
        << " degrees, transparency " << state.Transparency << "%, colour " << ColorText(state.Color)
        << "\n";
}

void PrintProject(std::ostream& out, const std::string& path, const Project& project) {
    out << "Project: " << path << "\n"
        << "Movie size: " << project.MovieWidth << " x " << project.MovieHeight << " pixels\n"
        << "Frames per second: " << project.FramesPerSecond << "\n"
        << "Compression: " << project.Compression << " (JPEG quality "
        << JpegQuality(project.Compression) << ")\n"
        << "Objects: " << project.Objects.Count() << "\n";
    int32_t index = 0;
    for (const AnimObject& object : project.Objects) {
        out << "  " << index++ << ": " << KindName(object);
        if (object.Kind == KindText)
            out << " '" << (object.Text ? object.Text : "") << "'";
        out << ", font '" << (object.FontName ? object.FontName : "") << "'"
            << (object.RemoveWhenFinished ? ", removed when finished" : ", stays when finished")
            << "\n";
        PrintState(out, "Start", object.Start);
        PrintState(out, "End  ", object.End);
        if (object.Kind == KindPicture)
            out << "    Picture: " << DibWidth(object.Image) << " x " << DibHeight(object.Image)
                << " pixels\n";
    }
    out << "Pointer samples: " << project.PointerTrack.Count() << "\n";
}

int RunInfo(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::cerr << "Usage: clipmoor-cli info PROJECT.fmo\n";
        return 2;
    }
    if (!LoadPictavo(ExecutableFolder())) {
        std::cerr << kPictavoLoadError << "\n";
        return 1;
    }
    Project project;
    Result result = LoadProject(project, args[0]);
    if (!result) {
        std::cerr << result.message << "\n";
        return 1;
    }
    std::ostringstream text;
    PrintProject(text, args[0], project);
    std::cout << text.str();
    ClearObjects(project);
    return 0;
}

CliCommandRegistration reg({"info", "info PROJECT.fmo",
                            "Show the movie settings, objects and pointer track of a project.",
                            RunInfo});

} // namespace
