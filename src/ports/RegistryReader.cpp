#include "ports/RegistryReader.h"

namespace orbiqa {

void RaiseInvalidDataType(const std::string& valueName) {
    throw ERegistryException("Invalid data type for '" + valueName + "'");
}

}  // namespace orbiqa
