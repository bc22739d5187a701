#pragma once
// The chosen port's name in the main window's narrow panel. What tells one port from another
// stays whole: the "(COMn)" at the end of a serial port's display name, the host and port of a
// network address. What gives way is the description before it, shortened in its middle.
#include <QString>

class QFontMetrics;

namespace orbiqa {

/// name as it fits into width pixels of fm: unchanged when it fits; otherwise shortened with
/// "…" in the part that identifies least ("FT23…ttyUSB0 (COM33)", "rfc2217://…host.hu:2217",
/// then "…host.hu:2217"), and only when even that does not fit, in the middle of the host.
QString ElidedPortName(const QString& name, const QFontMetrics& fm, int width);

}  // namespace orbiqa
