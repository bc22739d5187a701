// The files people edit by hand for the command line: a parameter set's text form (import) and a
// provision list (CSV). Whatever import accepts, export must give back byte for byte; and any
// 1088 bytes, taken as a parameter file, must survive export and import unchanged.
#include <algorithm>
#include <string>

#include "CsvText.h"
#include "FuzzSupport.h"
#include "JsonText.h"
#include "params/ParameterText.h"

using namespace orbiqa;
using namespace orbiqa::cli;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const ParameterImage image = ImportText(text);
        FUZZ_CHECK(ImportText(ExportText(image)) == image);
    } catch (const ImportError&) {
        // A malformed line is refused; that is all a bad text may cause.
    }
    if (size >= ParameterImage::Size) {
        ParameterImage image;
        std::copy_n(data, ParameterImage::Size, image.begin());
        FUZZ_CHECK(ImportText(ExportText(image)) == image);
    }
    try {
        for (const CsvRow& row : ParseCsv(text)) FUZZ_CHECK(!row.fields.empty());
    } catch (const CsvError&) {
    }
    FUZZ_CHECK(JsonUnquote(JsonQuote(text)) == text);
    return 0;
}
