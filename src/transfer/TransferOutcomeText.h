#pragma once
// The outcome of a transfer in words. The window shows it only by the bar's colour and length;
// these words are what the bar says to a screen reader.
#include <QString>

#include "transfer/TransferEngine.h"

namespace orbiqa {

enum class TransferKind { Read, Write, Compare };

/// "Az adatok egyeznek", "Nincs válasz (blokk 3)" and the like; empty when nothing was sent.
/// Blocks are numbered as the module numbers them, from 0.
QString TransferOutcomeText(TransferKind kind, const TransferResult& result);

}  // namespace orbiqa
