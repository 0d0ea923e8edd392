// GoogleTest entry for the main window's tests: the program's own application object.
#include "app/gui/application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
