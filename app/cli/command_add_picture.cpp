// clipmoor-cli add-picture PROJECT.fmo PICTURE [--box L,T,R,B] [--time START,END]: adds a
// picture object as the editor's "Picture" command does and saves the project.
#include "cli_command.h"

#include "imaging/pictavo.h"
#include "model/project_file.h"
#include "model/project_objects.h"

#include <charconv>
#include <iostream>
#include <optional>

namespace {

constexpr const char* kUsage =
    "Usage: clipmoor-cli add-picture PROJECT.fmo PICTURE [--box L,T,R,B] [--time START,END]\n";

int Usage(const std::string& problem) {
    std::cerr << "clipmoor-cli add-picture: " << problem << "\n" << kUsage;
    return 2;
}

// Whole numbers separated by commas, exactly `count` of them.
std::optional<std::vector<int32_t>> NumberList(const std::string& text, size_t count) {
    std::vector<int32_t> values;
    const char* at = text.data();
    const char* end = text.data() + text.size();
    while (values.size() < count) {
        int32_t value = 0;
        auto [next, error] = std::from_chars(at, end, value);
        if (error != std::errc())
            return std::nullopt;
        values.push_back(value);
        at = next;
        if (values.size() < count) {
            if (at == end || *at != ',')
                return std::nullopt;
            ++at;
        }
    }
    if (at != end)
        return std::nullopt;
    return values;
}

struct ProjectHolder {
    Project project;
    ~ProjectHolder() { ClearObjects(project); }
};

int RunAddPicture(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    std::optional<std::vector<int32_t>> box, times;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--box" || arg == "--time") {
            if (i + 1 >= args.size())
                return Usage(arg + " needs a value");
            if (arg == "--box") {
                box = NumberList(args[++i], 4);
                if (!box || (*box)[2] < (*box)[0] || (*box)[3] < (*box)[1])
                    return Usage("--box must be LEFT,TOP,RIGHT,BOTTOM with RIGHT >= LEFT and "
                                 "BOTTOM >= TOP");
            } else {
                times = NumberList(args[++i], 2);
                if (!times || (*times)[1] < (*times)[0])
                    return Usage("--time must be START,END in milliseconds with END >= START");
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage("unknown option " + arg);
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2)
        return Usage("give the project file and the picture file");

    if (!LoadPictavo(ExecutableFolder())) {
        std::cerr << kPictavoLoadError << "\n";
        return 1;
    }
    ProjectHolder holder;
    Project& project = holder.project;
    project.ProgramFolder = ExecutableFolder();
    if (Result loaded = LoadProject(project, files[0]); !loaded) {
        std::cerr << loaded.message << "\n";
        return 1;
    }
    const PictureObjectResult added = AddPictureFromFile(project, files[1]);
    if (!added.object) {
        std::cerr << added.error << "\n";
        return 1;
    }
    // Without --box the object moves as new objects of the editor do; with it, it stays put.
    if (box) {
        for (ObjectState* state : {&added.object->Start, &added.object->End}) {
            state->Left = (*box)[0];
            state->Top = (*box)[1];
            state->Right = (*box)[2];
            state->Bottom = (*box)[3];
        }
    }
    if (times) {
        added.object->Start.Time = (*times)[0];
        added.object->End.Time = (*times)[1];
    }
    if (Result saved = SaveProject(project, files[0]); !saved) {
        std::cerr << saved.message << "\n";
        return 1;
    }
    std::cout << "Added picture " << project.Objects.Count() - 1 << " ("
              << DibWidth(added.object->Image) << " x " << DibHeight(added.object->Image)
              << " pixels) to " << files[0] << "\n";
    return 0;
}

CliCommandRegistration reg({"add-picture",
                            "add-picture PROJECT.fmo PICTURE [--box L,T,R,B] [--time START,END]",
                            "Add a picture file (BMP, DIB, RLE, GIF, IFF, LBM, JPG, JIF, PCX, "
                            "TGA, TIF or PNG) to the project as a picture object and save it.",
                            RunAddPicture});

} // namespace
