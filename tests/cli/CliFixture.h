#pragma once
// The end-to-end tests' fixture: the built orbiqa-cli run as a script runs it, against
// orbiqa-modsim on a pseudo-terminal, in private folders for port links and files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "CliProcess.h"
#include "params/ParameterImage.h"
#include "support/PrivateSettingsFolder.h"
#include "transfer/ParameterFile.h"

namespace clitest {

namespace fs = std::filesystem;
using modsimtest::SimProcess;
using modsimtest::TempDir;
using orbiqa::ParameterImage;
using ::testing::StartsWith;

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kImageSize = 1088;
constexpr std::size_t kModuleBytes = 960;

inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

inline ParameterImage LoadImage(const std::string& path) {
    ParameterImage image;
    orbiqa::LoadParameterFile(path, orbiqa::ImageBytes(image.data(), ParameterImage::Size));
    return image;
}

inline void SaveImage(const std::string& path, const ParameterImage& image) {
    orbiqa::SaveParameterFile(path,
                              std::span<const std::uint8_t, kImageSize>(image.data(), kImageSize));
}

inline QJsonObject JsonOf(const std::string& text) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
    return doc.object();
}

class CliEndToEndTest : public ::testing::Test {
public:
protected:
    void SetUp() override {
        for (const char* program : {"orbiqa-cli", "orbiqa-modsim"})
            if (!fs::exists(modsimtest::BinaryDir() + "/" + program))
                GTEST_SKIP() << program << " not built";
        moduleBytes.resize(kImageSize);
        for (std::size_t i = 0; i < kImageSize; ++i)
            moduleBytes[i] = static_cast<std::uint8_t>(i * 11 + 5);
        memoryFile = Path("module.VR3");
        WriteFile(memoryFile, moduleBytes);
    }

    /// The simulator on the memory file, fast, without texts unless the options ask for them.
    const std::string& StartModule(std::vector<std::string> options = {}) {
        options.insert(options.end(), {"--fast", "--memory", memoryFile});
        if (std::find(options.begin(), options.end(), "--texts") == options.end())
            options.insert(options.end(), {"--texts", "off"});
        sim = std::make_unique<SimProcess>(options, config.PortLinkFolder());
        EXPECT_THAT(sim->ComName(), StartsWith("COM")) << sim->Failure();
        return sim->ComName();
    }

    CliResult Cli(const std::vector<std::string>& args, bool errToTerminal = false) {
        return clitest::RunCli(args, config.Path(), errToTerminal);
    }

    std::string Path(const std::string& name) const { return files.Path() + "/" + name; }

    orbiqa::testsupport::PrivateSettingsFolder config;  // the simulator's link, every orbiqa-cli run's settings
    TempDir files;
    Bytes moduleBytes;
    std::string memoryFile;
    std::unique_ptr<SimProcess> sim;
};

}  // namespace clitest
