#pragma once
// The JSON quoting of the parameter library, under the names the command's files use.
#include "params/JsonText.h"

namespace orbiqa::cli {
using orbiqa::JsonQuote;
using orbiqa::JsonUnquote;
}  // namespace orbiqa::cli
