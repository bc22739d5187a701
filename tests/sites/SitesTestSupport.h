#pragma once
// Parameter sets and entries for the register's tests.
#include <QByteArray>
#include <QString>

#include "params/FieldCatalog.h"
#include "params/ParameterImage.h"
#include "sites/SiteRecords.h"

namespace orbiqa::sites::test {

/// An erased set with the given field values (catalog names and forms).
inline QByteArray SetWith(std::initializer_list<std::pair<const char*, const char*>> values) {
    ParameterImage image;
    for (const auto& [field, value] : values) SetFieldValue(image, field, value);
    return QByteArray(reinterpret_cast<const char*>(image.data()), static_cast<int>(image.size()));
}

inline HistoryEntry ReadEntry(const QString& site, const QByteArray& after, const QByteArray& before = {}) {
    HistoryEntry e = NewEntry(site, HistoryKind::Read, QStringLiteral("COM3"));
    e.before = before;
    e.after = after;
    e.module.versionText = QStringLiteral("GSM2  V1.05  1234  DataVersion:7");
    e.module.dataVersion = 7;
    return e;
}

}  // namespace orbiqa::sites::test
