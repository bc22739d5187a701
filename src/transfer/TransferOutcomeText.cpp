#include "transfer/TransferOutcomeText.h"

#include <QStringList>

namespace orbiqa {

namespace {

QString Completed(TransferKind kind) {
    switch (kind) {
        case TransferKind::Read: return QString::fromUtf8("Beolvasás kész");
        case TransferKind::Write: return QString::fromUtf8("Áttöltés kész");
        case TransferKind::Compare: return QString::fromUtf8("Az adatok egyeznek");
    }
    return {};
}

QString Stopped(TransferOutcome outcome, int block) {
    switch (outcome) {
        case TransferOutcome::NoAnswer: return QString::fromUtf8("Nincs válasz (blokk %1)").arg(block);
        case TransferOutcome::WrongBlock: return QString::fromUtf8("Hibás válasz (blokk %1)").arg(block);
        case TransferOutcome::NoAck: return QString::fromUtf8("Nincs nyugtázás (blokk %1)").arg(block);
        default: return {};
    }
}

}  // namespace

QString TransferOutcomeText(TransferKind kind, const TransferResult& result) {
    if (result.outcome == TransferOutcome::NotConnected) return {};
    if (result.outcome == TransferOutcome::Completed) return Completed(kind);
    // A compare that found a difference and then stopped has two things to say.
    QStringList parts;
    if (result.firstDifferentBlock >= 0)
        parts << QString::fromUtf8("Az adatok eltérnek (első eltérés: blokk %1)").arg(result.firstDifferentBlock);
    if (result.failedBlock >= 0) parts << Stopped(result.outcome, result.failedBlock);
    return parts.join(QStringLiteral("; "));
}

}  // namespace orbiqa
