// Failures that POSIX systems let a test provoke: a size limit that fails writes as a full disk
// would, a named pipe, an endless device.
#include <sys/stat.h>

#include "TableFileFixture.h"
#include "base/Errors.h"
#include "support/FileSizeLimit.h"

using namespace orbiqa;
namespace fs = std::filesystem;

TEST_F(TableFileFixture, AFullDiskReadsAsForEveryFileAndKeepsTheOldOne) {
    Write("2,1\r\n0,0,COM2\r\n");
    std::string error;
    TextTable t(2, 1, 20);
    t.SetCell(0, 0, "COM7");
    try {
        const test::FileSizeLimit full(8);
        SaveTableFile(t, file);
    } catch (const EFileError& e) {
        error = e.what();
    }
    EXPECT_EQ(error, "Disk full");
    EXPECT_EQ(Read(), "2,1\r\n0,0,COM2\r\n");
}

TEST_F(TableFileFixture, PipesDevicesAndHugeFilesAreRefusedWithoutBlocking) {
    TextTable t(2, 1, 20);
    auto loadError = [&] {
        try {
            LoadTableFile(t, file);
        } catch (const EFileError& e) {
            return std::string(e.what());
        }
        return std::string("(loaded)");
    };
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    EXPECT_EQ(loadError(), "Cannot open file " + file + ": Not a regular file");
    fs::remove(file);
    fs::create_symlink("/dev/zero", file);
    EXPECT_EQ(loadError(), "Cannot open file " + file + ": Not a regular file");
    fs::remove(file);
    Write(std::string(kMaxTableFileSize + 1, '\n'));
    EXPECT_EQ(loadError(), "Cannot open file " + file + ": File too large");
    std::string justFits = "2,1\r\n0,0,COM4\r\n";
    while (justFits.size() + 8 <= kMaxTableFileSize) justFits += "cw 9,1\r\n";  // outside: skipped
    Write(justFits);
    EXPECT_EQ(loadError(), "(loaded)");
    EXPECT_EQ(t.Cell(0, 0), "COM4");
}
