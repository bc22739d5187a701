#pragma once
// A settings folder of the test's own: a fresh temporary folder named as the user's settings
// root in the environment while the object lives, the variable's old value put back (or the
// variable removed again) and the folder deleted when it goes. The program and the simulator run
// by the test both take it: settings in Path()/orbiqa, port links in Path()/orbiqa/ports.
//
// The variable is XDG_CONFIG_HOME on POSIX systems and LOCALAPPDATA on Windows. The Windows
// program asks the shell for its folder, which LOCALAPPDATA does not move, so there it reaches
// only the child programs that read the variable; ChosenSettingsFolder.h names the folder the
// program itself uses, on every system.
#include <cstdlib>
#include <optional>
#include <string>

#include "support/TemporaryFolder.h"

namespace orbiqa::testsupport {

class PrivateSettingsFolder {
public:
#ifdef _WIN32
    static constexpr const char* kVariable = "LOCALAPPDATA";
#else
    static constexpr const char* kVariable = "XDG_CONFIG_HOME";
#endif

    PrivateSettingsFolder() : folder_("orbiqa-settings-"), path_(folder_.Path()) {
        if (const char* old = std::getenv(kVariable)) old_ = old;
        Set(path_.c_str());
    }
    ~PrivateSettingsFolder() {
        Set(old_ ? old_->c_str() : nullptr);
    }
    PrivateSettingsFolder(const PrivateSettingsFolder&) = delete;
    PrivateSettingsFolder& operator=(const PrivateSettingsFolder&) = delete;

    /// The folder the variable names.
    const std::string& Path() const { return path_; }
    /// Where a simulator publishes its port links and the program looks for them.
    std::string PortLinkFolder() const { return path_ + "/orbiqa/ports"; }

private:
    static void Set(const char* value) {
#ifdef _WIN32
        ::_putenv_s(kVariable, value ? value : "");  // an empty value removes it
#else
        if (value)
            ::setenv(kVariable, value, 1);
        else
            ::unsetenv(kVariable);
#endif
    }

    TemporaryFolder folder_;
    std::string path_;
    std::optional<std::string> old_;
};

}  // namespace orbiqa::testsupport
