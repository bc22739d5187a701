#pragma once
// The port registry of the system the program is built for: Windows' own registry, or on Linux
// the serial devices shown in its shape. The build compiles one of the two readers, each of which
// defines this function, so that callers need neither platform headers nor #ifdef.
#include <memory>

#include "ports/RegistryReader.h"

namespace orbiqa {

/// A new reader of the system's port registry. Never null.
std::shared_ptr<RegistryReader> CreateSystemRegistryReader();

}  // namespace orbiqa
