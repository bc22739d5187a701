#include "transfer/CompareDifferences.h"

#include <QStringList>
#include <algorithm>

#include "params/FieldCatalog.h"

namespace orbiqa {

QString CompareDifferenceText(const ModuleCopyBytes& expected, const ModuleCopyBytes& module,
                              int blocksDone) {
    // The blocks that never arrived are taken as equal: the bar tells that the compare stopped.
    ParameterImage a, b;
    std::copy(expected.begin(), expected.end(), a.begin());
    std::copy(expected.begin(), expected.end(), b.begin());
    const auto arrived =
        static_cast<std::size_t>(std::clamp(blocksDone, 0, int(kModuleBlockCount))) * kBlockSize;
    std::copy_n(module.begin(), arrived, b.begin());
    if (a == b) return {};

    QStringList names;
    for (const std::string& name : DifferingFieldNames(a, b, true))
        names << QString::fromStdString(name);
    if (!names.isEmpty())
        return QStringLiteral("Eltérő beállítások: ") + names.join(QStringLiteral(", "));
    // Only bytes that no setting shows differ (the gaps of the memory map, a text's filler).
    QStringList blocks;
    for (std::size_t n = 0; n < kModuleBlockCount; ++n) {
        const auto first = a.begin() + static_cast<std::ptrdiff_t>(n * kBlockSize);
        if (!std::equal(first, first + kBlockSize,
                        b.begin() + static_cast<std::ptrdiff_t>(n * kBlockSize)))
            blocks << QStringLiteral("%1. blokk").arg(n);
    }
    return QStringLiteral("Beállításon kívüli bájtok térnek el: ") +
           blocks.join(QStringLiteral(", "));
}

}  // namespace orbiqa
