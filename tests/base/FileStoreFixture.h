#pragma once
// A folder of its own for each file test, and the save and read outcomes as the user reads them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "base/FileStore.h"

namespace orbiqa::test {

class FileStoreFixture : public ::testing::Test {
protected:
    // The folder carries the build's name, so that two builds may test at once.
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("orbiqa-store-" + std::string(ORBIQA_TEST_BUILD_TAG) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::permissions(dir, std::filesystem::perms::all, ignored);
        std::filesystem::remove_all(dir);
    }

    // The routines take UTF-8 names, whatever code page the test program runs with.
    static std::filesystem::path FromUtf8(const std::string& name) {
        return std::filesystem::path(std::u8string(name.begin(), name.end()));
    }
    static std::string Utf8(const std::filesystem::path& path) {
        const std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    }
    std::string PathOf(const std::string& name) const { return Utf8(dir / FromUtf8(name)); }
    static void Put(const std::string& path, const std::string& content) {
        std::ofstream(FromUtf8(path), std::ios::binary) << content;
    }
    static std::string Get(const std::string& path) {
        std::ifstream in(FromUtf8(path), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::size_t EntriesInDir() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir),
                                                      std::filesystem::directory_iterator()));
    }
    static std::string SaveError(const std::string& path, const std::string& data) {
        try {
            SaveFile(path, data);
        } catch (const EFileError& e) {
            return e.what();
        }
        return "(saved)";
    }
    static std::string ReadError(const std::string& path, std::size_t bound = 100) {
        try {
            ReadFileBounded(path, bound, true);
        } catch (const EFileError& e) {
            return e.what();
        }
        return "(read)";
    }

    std::filesystem::path dir;
};

}  // namespace orbiqa::test
