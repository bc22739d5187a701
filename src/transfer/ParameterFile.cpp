#include "transfer/ParameterFile.h"

#include <algorithm>

#include "base/Errors.h"
#include "base/FileStore.h"
#include "params/ParameterText.h"

namespace orbiqa {

void SaveParameterFile(const std::string& path, std::span<const std::uint8_t, kParameterImageSize> image) {
    SaveFile(path, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
}

ParameterFileLoad LoadParameterFile(const std::string& path, ImageBytes image) {
    // Read whole first: a short or failing file must not leave a half-loaded image. One byte
    // past the bound tells a text that is too long from one that just fits; an image's tail is
    // ignored however long the file is.
    const std::string content = ReadFileBounded(path, kMaxParameterTextBytes + 1, false);
    ParameterFileLoad load;
    if (IsParameterText(content)) {
        if (content.size() > kMaxParameterTextBytes)
            throw EFileStoreError(EFileStoreError::Kind::TooLarge, 0, false);
        ImportNotes notes;
        try {
            const ParameterImage imported = ImportText(content, &notes);
            std::copy(imported.begin(), imported.end(), image.begin());
        } catch (const ImportError& e) {
            throw EParameterTextError(e.what());
        }
        load.text = true;
        load.fieldsLeftOut = std::move(notes.fieldsLeftOut);
        return load;
    }
    if (content.size() < kParameterImageSize) throw EFileError(kReadBeyondEndText);
    std::copy_n(content.begin(), kParameterImageSize, image.begin());
    return load;
}

}  // namespace orbiqa
