// Writes the example project: make_tour_example examples/tour.fmo
#include "imaging/pictavo.h"
#include "model/project_file.h"
#include "model/project_objects.h"
#include "tour_project.h"

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "Usage: make_tour_example FILE.fmo\n";
        return 2;
    }
    if (!LoadPictavo(CLIPMOOR_PROGRAM_DIR "/")) {
        std::cerr << kPictavoLoadError << "\n";
        return 1;
    }
    Project project;
    MakeTourProject(project);
    Result saved = SaveProject(project, argv[1]);
    ClearObjects(project);
    if (!saved) {
        std::cerr << saved.message << "\n";
        return 1;
    }
    return 0;
}
