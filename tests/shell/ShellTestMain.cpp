// GoogleTest main for the shell's window tests: they need the program's own application object,
// whose notify override is under test.
#include <gtest/gtest.h>

#include "shell/OrbiqaApplication.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    orbiqa::OrbiqaApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
