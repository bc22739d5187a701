#pragma once
// The settings that changed between two parameter sets, by the field catalog's names: the one
// routine the register, the window and the report use. The GPRS password is reported only as
// changed, never with its values.
#include <QByteArray>
#include <vector>

#include "sites/SiteRecords.h"

namespace orbiqa::sites {

/// Whether a field's values are secret (kept only as "changed").
bool IsSecretField(const QString& field);

/// The changed fields in catalog order, then byte runs no field shows ("@960-1023"). An empty
/// before (nothing known) gives no changes; a set of the wrong size is treated as empty.
std::vector<SettingChange> ChangedSettings(const QByteArray& before, const QByteArray& after);

}  // namespace orbiqa::sites
