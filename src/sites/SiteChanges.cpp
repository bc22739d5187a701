#include "sites/SiteChanges.h"

#include <algorithm>

#include "params/ImageDifference.h"
#include "params/ParameterImage.h"

namespace orbiqa::sites {

namespace {

std::optional<ParameterImage> ImageOf(const QByteArray& set) {
    if (set.size() != static_cast<int>(ParameterImage::Size)) return std::nullopt;
    ParameterImage image;
    std::copy(set.begin(), set.end(), image.begin());
    return image;
}

}  // namespace

bool IsSecretField(const QString& field) {
    return field.compare(QLatin1String("PWD"), Qt::CaseInsensitive) == 0;
}

std::vector<SettingChange> ChangedSettings(const QByteArray& before, const QByteArray& after) {
    const auto a = ImageOf(before);
    const auto b = ImageOf(after);
    if (!a || !b) return {};
    std::vector<SettingChange> changes;
    for (const FieldDifference& d : DiffImages(*a, *b)) {
        SettingChange c;
        c.field = QString::fromStdString(d.a.name);
        // A byte run inside the password's bytes must not give its value away either.
        const auto password = FindField("PWD");
        bool secret = IsSecretField(c.field);
        if (!secret && password && c.field.startsWith(QLatin1Char('@'))) {
            const QStringList range = c.field.mid(1).split(QLatin1Char('-'));
            const auto first = range.value(0).toULongLong();
            const auto last = range.size() > 1 ? range.value(1).toULongLong() : first;
            secret = first < password->offset + password->size && last >= password->offset;
        }
        if (secret) {
            c.field = QStringLiteral("PWD");
            c.hidden = true;
            if (std::any_of(changes.begin(), changes.end(),
                            [](const SettingChange& x) { return x.hidden; }))
                continue;
        } else {
            c.oldValue = QString::fromStdString(d.a.text);
            c.newValue = QString::fromStdString(d.b.text);
        }
        changes.push_back(std::move(c));
    }
    return changes;
}

}  // namespace orbiqa::sites
