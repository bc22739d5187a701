#pragma once
// The line errors a driver reported, as the traffic log shows them (Windows-1250).
#include <string>

#include "device/SerialDevice.h"

namespace orbiqa {

/// "Vonali hibák: túlcsordulás 1, keretezési hiba 2": only the kinds that occurred, in a fixed
/// order; empty when none did.
std::string LineErrorText(const LineErrorCounts& counts);

}  // namespace orbiqa
