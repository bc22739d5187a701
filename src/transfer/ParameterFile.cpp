#include "transfer/ParameterFile.h"

#include <algorithm>

#include "base/Errors.h"
#include "base/FileStore.h"
#include "params/ParameterText.h"

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

namespace {
// Far more than the longest export (about 4 KiB); a bound for what a text may cost to read.
constexpr std::size_t kMaxParameterTextBytes = 1 << 20;
}  // namespace

void LoadParameterSetFile(const std::string& path, ImageBytes image) {
    const std::string content = ReadFileBounded(path, kMaxParameterTextBytes, false);
    if (IsParameterText(content)) {
        try {
            const ParameterImage imported = ImportText(content);
            std::copy(imported.begin(), imported.end(), image.begin());
        } catch (const ImportError& e) {
            throw EFileError(e.what());
        }
        return;
    }
    if (content.size() < kParameterImageSize) throw EFileError(kReadBeyondEndText);
    std::copy_n(content.begin(), kParameterImageSize, image.begin());
}

}  // namespace orbiqa
