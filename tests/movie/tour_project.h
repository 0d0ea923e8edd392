// The example project: a short recording with a text, a rectangle, an ellipse and a
// picture over it, and the pointer's track. Needs the image library loaded.
#pragma once

#include "model/project.h"

void MakeTourProject(Project& project);
