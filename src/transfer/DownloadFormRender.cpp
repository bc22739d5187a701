#include <QFileInfo>
#include <QPixmap>

#include <array>

#include "transfer/DownloadForm.h"

namespace orbiqa {

namespace {

// Never connected: the pictures need no module.
class IdleChannel final : public ModuleChannel {
public:
    bool Connected() const override { return false; }
    void SendCommand(std::uint8_t, const std::uint8_t*) override {}
    void SendPayload(std::uint8_t, const std::uint8_t*) override {}
    ReplyState& Reply() override { return reply_; }

private:
    ReplyState reply_;
};

}  // namespace

void RenderDownloadForm(const QString& path) {
    IdleChannel channel;
    std::array<std::uint8_t, kParameterImageSize> image{};
    TFormDownload form(channel, image);
    form.SetBarPosition(7);
    form.SetBarColour(BarColour::Green);
    form.grab().save(path);

    const QFileInfo info(path);
    const QString redPath = info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral("-red.") + info.suffix();
    form.SetBarPosition(4);
    form.SetBarColour(BarColour::Red);
    form.grab().save(redPath);
}

}  // namespace orbiqa
