#pragma once
// What a compare that differs found, in the words of the parameter set: the settings whose
// values differ between what the module holds and what it was last given, named as the field
// catalog names them. The transfer window shows it as text; the bar only says "differs".
#include <QString>

#include "transfer/TransferEngine.h"

namespace orbiqa {

/// "Eltérő beállítások: USER1, SMS3" for the blocks 0..blocksDone-1 of `module` held against
/// `expected`; when only bytes that no setting shows differ, their blocks ("Beállításon kívüli
/// bájtok térnek el: 7. blokk"). Empty when those blocks are equal.
QString CompareDifferenceText(const ModuleCopyBytes& expected, const ModuleCopyBytes& module,
                              int blocksDone);

}  // namespace orbiqa
