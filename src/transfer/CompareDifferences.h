#pragma once
// What a compare that differs found, in the words of the parameter editor: the settings whose
// values differ between what the module holds and what it was last given, named by the captions
// the editor shows. The transfer window shows it as text; the bar only says "differs".
#include <QString>
#include <QStringList>
#include <functional>

#include "transfer/TransferEngine.h"

namespace orbiqa {

/// The differences of blocks 0..blocksDone-1 of `module` held against `expected`: a lead-in
/// ("Eltérő beállítások: ") and the items after it, the settings by their captions in the
/// editor's words; when only bytes that no setting shows differ, their blocks
/// ("Beállításon kívüli bájtok térnek el: " and "7. blokk"). No items when those blocks are equal.
struct CompareDifferences {
    QString leadIn;
    QString shortLeadIn;  ///< the same, for a line with little room ("Eltér: ")
    QStringList items;

    bool IsEmpty() const { return items.isEmpty(); }
    /// The lead-in and every item.
    QString FullText() const { return Text(items.size()); }
    /// The lead-in and the first `shown` items, then "és még N" for the rest; empty when there
    /// are no items.
    QString Text(qsizetype shown) const { return Line(leadIn, shown); }
    /// The short lead-in and as many whole items as `fits` accepts, then "és még N" for the
    /// rest; `fits` is asked about whole lines. The first item is always there: when it does
    /// not fit alone, it is cut after a word (after a character when not even its first word
    /// fits), with an ellipsis, and a parenthesis is kept whole or left out. Empty when there
    /// are no items.
    QString ShortText(const std::function<bool(const QString&)>& fits) const;
    /// `lead` and the first `shown` items, then "és még N" for the rest; empty without items.
    QString Line(const QString& lead, qsizetype shown) const;
};

CompareDifferences FindCompareDifferences(const ModuleCopyBytes& expected,
                                          const ModuleCopyBytes& module, int blocksDone);

}  // namespace orbiqa
