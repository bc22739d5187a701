#pragma once
// The folder this process's program keeps its files in, as its start chooses it
// (UseSettingsFolder): a fresh temporary folder while the object lives, the folder chosen before
// put back and the temporary one deleted when it goes. Alike on every system, so it is the way
// to give the program a settings folder of the test's own where the environment cannot (the
// Windows user folder comes from the shell).
#include <string>

#include "base/SettingsLocation.h"
#include "support/TemporaryFolder.h"

namespace orbiqa::testsupport {

class ChosenSettingsFolder {
public:
    ChosenSettingsFolder() : folder_("orbiqa-chosen-"), old_(SettingsFolder()) { UseSettingsFolder(folder_.Path()); }
    ~ChosenSettingsFolder() { UseSettingsFolder(old_); }
    ChosenSettingsFolder(const ChosenSettingsFolder&) = delete;
    ChosenSettingsFolder& operator=(const ChosenSettingsFolder&) = delete;

    const std::string& Path() const { return folder_.Path(); }

private:
    TemporaryFolder folder_;
    std::string old_;
};

}  // namespace orbiqa::testsupport
