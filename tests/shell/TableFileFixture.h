#pragma once
// A settings file in a folder of its own, removed after each test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "shell/TableFile.h"

namespace orbiqa {

struct TableFileFixture : ::testing::Test {
    std::filesystem::path dir;
    std::string file;
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("orbiqa-table-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        file = (dir / "ZenitSetup.ini").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    void Write(const std::string& content) { std::ofstream(file, std::ios::binary) << content; }
    std::string Read() {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    TextTable Load(const std::string& content) {
        Write(content);
        TextTable t(2, 1, 20);
        LoadTableFile(t, file);
        return t;
    }
};

}  // namespace orbiqa
