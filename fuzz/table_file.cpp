// "ZenitSetup.ini": any bytes through LoadTableFile, then the table saved and loaded again.
#include "FuzzSupport.h"
#include "base/Errors.h"
#include "shell/TableFile.h"

using namespace orbiqa;
using namespace orbiqa::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFile file("table");
    static const ScratchFile saved("table-saved");

    // The main window's table: two columns, one row.
    TextTable table(2, 1);
    LoadTableFile(table, file.Write(std::string_view(reinterpret_cast<const char*>(data), size)));
    FUZZ_CHECK(table.ColumnCount() >= 1 && table.ColumnCount() <= TextTable::kMaxExtent);
    FUZZ_CHECK(table.RowCount() >= 1 && table.RowCount() <= TextTable::kMaxExtent);
    const std::string port = table.Cell(0, 0);
    FUZZ_CHECK(port.find('\r') == std::string::npos);

    // Whatever was loaded is written back at the end of the run and must come back the same way:
    // same extent, same widths, and the port cell unchanged when it is a single line.
    SaveTableFile(table, saved.Path());
    TextTable again(2, 1);
    LoadTableFile(again, saved.Path());
    FUZZ_CHECK(again.ColumnCount() == table.ColumnCount());
    FUZZ_CHECK(again.RowCount() == table.RowCount());
    for (int c = 0; c < table.ColumnCount(); ++c) FUZZ_CHECK(again.ColumnWidth(c) == table.ColumnWidth(c));
    if (port.find('\n') == std::string::npos) FUZZ_CHECK(again.Cell(0, 0) == port);
    return 0;
}
