// The tests' private settings folders: named in the environment, or chosen as the program's,
// while they live; afterwards the variable or the choice as it was and the folder removed, on
// every system.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "support/ChosenSettingsFolder.h"
#include "support/PrivateSettingsFolder.h"

using orbiqa::testsupport::ChosenSettingsFolder;
using orbiqa::testsupport::PrivateSettingsFolder;

namespace {

std::optional<std::string> Variable() {
    const char* value = std::getenv(PrivateSettingsFolder::kVariable);
    return value && *value ? std::optional<std::string>(value) : std::nullopt;
}

void SetVariable(const char* value) {
#ifdef _WIN32
    ::_putenv_s(PrivateSettingsFolder::kVariable, value ? value : "");
#else
    if (value)
        ::setenv(PrivateSettingsFolder::kVariable, value, 1);
    else
        ::unsetenv(PrivateSettingsFolder::kVariable);
#endif
}

}  // namespace

TEST(PrivateSettingsFolder, NamesItsFolderWhileItLivesAndPutsTheOldValueBack) {
    const std::optional<std::string> original = Variable();
    for (const char* before : {"/elsewhere/settings", static_cast<const char*>(nullptr)}) {
        SetVariable(before);
        std::string path;
        {
            const PrivateSettingsFolder first;
            const PrivateSettingsFolder nested;  // a fixture inside a fixture
            path = first.Path();
            EXPECT_NE(nested.Path(), path);
            EXPECT_EQ(Variable(), nested.Path());
            EXPECT_TRUE(std::filesystem::is_directory(path));
            std::filesystem::create_directories(first.PortLinkFolder());
        }
        EXPECT_EQ(Variable(), before ? std::optional<std::string>(before) : std::nullopt);
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    SetVariable(original ? original->c_str() : nullptr);
}

TEST(ChosenSettingsFolder, IsTheProgramsFolderWhileItLivesAndTheChoiceBeforeComesBack) {
    const std::string before = orbiqa::SettingsFolder();
    std::string path;
    {
        const ChosenSettingsFolder chosen;
        path = chosen.Path();
        EXPECT_EQ(orbiqa::SettingsFolder(), path);
        EXPECT_EQ(std::filesystem::path(orbiqa::SettingsFilePath("ZenitSetup.ini")).parent_path(),
                  std::filesystem::path(path));
    }
    EXPECT_EQ(orbiqa::SettingsFolder(), before);
    EXPECT_FALSE(std::filesystem::exists(path));
}
