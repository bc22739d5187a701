#include "transfer/ParameterFile.h"

#include <algorithm>

#include "base/Errors.h"
#include "base/FileStore.h"

namespace orbiqa {

void SaveParameterFile(const std::string& path, std::span<const std::uint8_t, kParameterImageSize> image) {
    SaveFile(path, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
}

void LoadParameterFile(const std::string& path, ImageBytes image) {
    // Read whole first: a short or failing file must not leave a half-loaded image.
    const std::string content = ReadFileBounded(path, kParameterImageSize, false);
    if (content.size() != kParameterImageSize) throw EFileError(kReadBeyondEndText);
    std::copy(content.begin(), content.end(), image.begin());
}

}  // namespace orbiqa
