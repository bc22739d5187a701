#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "TableFileFixture.h"
#include "base/Errors.h"
#include "shell/TableFile.h"

using namespace orbiqa;
namespace fs = std::filesystem;

TEST_F(TableFileFixture, SavesTheFourLinesOfAPortName) {
    TextTable t(2, 1, 20);
    t.SetCell(0, 0, "COM3");
    SaveTableFile(t, file);
    EXPECT_EQ(Read(), "2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,COM3\r\n");
    EXPECT_FALSE(fs::exists(file + ".new"));

    TextTable back(2, 1, 20);
    LoadTableFile(back, file);
    EXPECT_EQ(back.Cell(0, 0), "COM3");
}

TEST_F(TableFileFixture, ALineWithoutCommasAddressesTheFirstCell) {
    EXPECT_EQ(Load("2,1\r\nCOM5\r\n").Cell(0, 0), "COM5");
    EXPECT_EQ(Load("2,1\nCOM6\n").Cell(0, 0), "COM6");  // bare line feeds end lines too
}

TEST_F(TableFileFixture, ATrailingEmptyLineEmptiesTheFirstCellAgain) {
    EXPECT_EQ(Load("2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,COM3\r\n\r\n").Cell(0, 0), "");
    EXPECT_EQ(Load("2,1\r\n0,0,COM3\r\n").Cell(0, 0), "COM3");  // the last line end starts no line
}

TEST_F(TableFileFixture, TheFirstLineResizesAndTheNextSaveKeepsTheSize) {
    TextTable t = Load("4,3\r\ncw 2,33\r\n0,0,COM8\r\n3,2,far\r\n");
    EXPECT_EQ(t.ColumnCount(), 4);
    EXPECT_EQ(t.RowCount(), 3);
    EXPECT_EQ(t.Cell(0, 0), "COM8");
    SaveTableFile(t, file);
    EXPECT_EQ(Read(), "4,3\r\ncw 0,20\r\ncw 1,20\r\ncw 2,33\r\ncw 3,20\r\n0,0,COM8\r\n3,2,far\r\n");
}

TEST_F(TableFileFixture, CellsAndWidthsOutsideTheTableAreSkipped) {
    TextTable t = Load("2,1\r\ncw 5,99\r\ncw -1,99\r\n5,0,x\r\n0,1,y\r\n-1,0,z\r\n1,0,kept\r\n");
    EXPECT_EQ(t.Cell(1, 0), "kept");
    EXPECT_EQ(t.Cell(0, 0), "");
    EXPECT_EQ(t.ColumnWidth(0), 20);
    EXPECT_EQ(t.ColumnWidth(1), 20);

    // The column runs from the fourth character to the line's first comma: a comma before the
    // fourth character leaves column 0, and the width is what follows that comma.
    TextTable early = Load("2,1\r\ncw,1,7\r\n");
    EXPECT_EQ(early.ColumnWidth(0), 1);
    EXPECT_EQ(early.ColumnWidth(1), 20);
}

TEST_F(TableFileFixture, NumbersAreReadUpToTheFirstCharacterThatDoesNotFit) {
    TextTable t = Load("0,-4\r\n 0x0 ,$0z,COM9,tail\r\n");
    EXPECT_EQ(t.ColumnCount(), 1);  // counts below 1 give 1
    EXPECT_EQ(t.RowCount(), 1);
    EXPECT_EQ(t.Cell(0, 0), "COM9,tail");  // everything after the second comma
}

TEST_F(TableFileFixture, HugeSizesAreBounded) {
    TextTable t = Load("2000000000,2000000000\r\n0,0,COM4\r\n");
    EXPECT_EQ(t.ColumnCount(), TextTable::kMaxExtent);
    EXPECT_EQ(t.RowCount(), TextTable::kMaxExtent);
    EXPECT_EQ(t.Cell(0, 0), "COM4");
}

TEST_F(TableFileFixture, LineBreaksInACellTravelAsTabAndBackspace) {
    TextTable t(2, 1, 20);
    t.SetCell(1, 0, "a\r\nb");
    t.SetCell(0, 0, "tab\there");  // no carriage return: written as it is
    SaveTableFile(t, file);
    EXPECT_EQ(Read(), "2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,tab\there\r\n1,0,a\t\bb\r\n");
    TextTable back(2, 1, 20);
    LoadTableFile(back, file);
    EXPECT_EQ(back.Cell(1, 0), "a");  // decoded, then cut at the first carriage return
    EXPECT_EQ(back.Cell(0, 0), "tab\there");
}

TEST_F(TableFileFixture, ALoneLineFeedInACellCannotSplitTheNextSave) {
    // A backspace without a tab decodes to a bare line feed; kept, it would be written raw and
    // the line's second half would land in cell (0, 0) at the next start.
    TextTable t = Load("2,1\r\n0,0,COM4\r\n1,0,a\bb\r\n");
    EXPECT_EQ(t.Cell(1, 0), "a");
    SaveTableFile(t, file);
    TextTable back(2, 1, 20);
    LoadTableFile(back, file);
    EXPECT_EQ(back.Cell(0, 0), "COM4");
}

TEST_F(TableFileFixture, MissingFileAndUncreatableFileRaiseTheirMessages) {
    TextTable t(2, 1, 20);
    try {
        LoadTableFile(t, file);
        FAIL();
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + file);
    }
    const std::string nowhere = (dir / "no-such-folder" / "ZenitSetup.ini").string();
    t.SetCell(0, 0, "COM7");
    try {
        SaveTableFile(t, nowhere);
        FAIL();
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot Create " + nowhere);
    }
}

// The chooser's network ports sit in column 1 beside the port; what a hand-edited or damaged file
// holds there is sorted out on reading, and a file without them is written as before.
TEST_F(TableFileFixture, NetworkPortsBesideThePortRoundTrip) {
    TextTable t(2, 1, 20);
    t.SetCell(0, 0, "rfc2217://10.0.0.7:2217");
    SetNetworkPorts(t, {});
    SaveTableFile(t, file);
    EXPECT_EQ(Read(), "2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,rfc2217://10.0.0.7:2217\r\n");

    SetNetworkPorts(t, {"rfc2217://10.0.0.7:2217", "socket://bench:4001"});
    SaveTableFile(t, file);
    EXPECT_EQ(Read(), "2,2\r\ncw 0,20\r\ncw 1,20\r\n0,0,rfc2217://10.0.0.7:2217\r\n"
                      "1,0,rfc2217://10.0.0.7:2217\r\n1,1,socket://bench:4001\r\n");
    TextTable back(2, 1, 20);
    LoadTableFile(back, file);
    EXPECT_EQ(NetworkPortsOf(back), (std::vector<std::string>{"rfc2217://10.0.0.7:2217", "socket://bench:4001"}));

    // Fewer ports empty the rest of the column; the table keeps its size.
    SetNetworkPorts(back, {"socket://bench:4001"});
    EXPECT_EQ(back.RowCount(), 2);
    EXPECT_EQ(back.Cell(1, 1), "");
    EXPECT_EQ(back.Cell(0, 0), "rfc2217://10.0.0.7:2217");
}

TEST_F(TableFileFixture, BadAndRepeatedNetworkPortsAreDropped) {
    const TextTable t = Load("2,9\r\n1,0,RFC2217://Bench:2217\r\n1,1,COM3\r\n1,2,rfc2217://bench\r\n"
                             "1,3,socket://:4001\r\n1,4,rfc2217://Bench:2217\r\n1,5,\x01\xff,,\r\n"
                             "1,6,socket://[::1]:4001\r\n1,7,socket://host:99999\r\n1,99,socket://far:1\r\n");
    EXPECT_EQ(NetworkPortsOf(t), (std::vector<std::string>{"rfc2217://Bench:2217", "socket://[::1]:4001"}));
    // A one-column table grows a column for them; it stays as it is when there are none.
    TextTable narrow(1, 1, 20);
    SetNetworkPorts(narrow, {});
    EXPECT_EQ(narrow.ColumnCount(), 1);
    SetNetworkPorts(narrow, {"socket://a:1", "socket://b:2", "socket://c:3"});
    EXPECT_EQ(narrow.ColumnCount(), 2);
    EXPECT_EQ(narrow.RowCount(), 3);
    EXPECT_EQ(NetworkPortsOf(narrow).size(), 3u);
}
