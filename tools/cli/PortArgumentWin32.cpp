// A port argument on Windows: the COM name is the device ("COM5", "com5", "5").
#include "CommandLine.h"
#include "CommandSession.h"

namespace orbiqa::cli {

std::string ResolvePortArgument(const std::string& text) {
    return ParsePortName(text);
}

}  // namespace orbiqa::cli
