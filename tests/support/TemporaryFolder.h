#pragma once
// A fresh folder of the test's own under the system's temporary folder, removed with everything
// in it when the object goes. Alike on every system (Windows has no mkdtemp).
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

namespace orbiqa::testsupport {

class TemporaryFolder {
public:
    explicit TemporaryFolder(const std::string& prefix = "orbiqa-test-") {
        namespace fs = std::filesystem;
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const fs::path folder = fs::temp_directory_path() / (prefix + std::to_string(random()));
            std::error_code ec;
            if (fs::create_directory(folder, ec)) path_ = folder.string();
        }
        if (path_.empty()) throw std::runtime_error("no temporary folder could be made");
    }
    ~TemporaryFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

}  // namespace orbiqa::testsupport
