#include "transfer/CompareDifferences.h"

#include <algorithm>

#include "params/ImageDifference.h"
#include "transfer/ModuleCompare.h"

namespace orbiqa {

QString CompareDifferences::Line(const QString& lead, qsizetype shown) const {
    if (IsEmpty()) return {};
    shown = std::clamp<qsizetype>(shown, 1, items.size());
    QString text = lead + items.mid(0, shown).join(QStringLiteral(", "));
    if (shown < items.size()) text += QStringLiteral(" és még %1").arg(items.size() - shown);
    return text;
}

namespace {

const QChar kEllipsis(0x2026);

// head without a parenthesis it opens and does not close, and without the blanks and commas
// that would then stand before the ellipsis.
QString WithoutOpenParenthesis(QString head) {
    const qsizetype open = head.lastIndexOf(QLatin1Char('('));
    if (open >= 0 && head.indexOf(QLatin1Char(')'), open) < 0) head.truncate(open);
    while (!head.isEmpty() && QStringLiteral(" ,;:-").contains(head.back())) head.chop(1);
    return head;
}

// The longest start of caption that fits with an ellipsis: cut after a word where one fits,
// else after a character; a parenthesis is kept whole or left out ("1. Felhasználó…", never
// "1. Felhasználó (#US…" or "1. Felhasználó (…").
QString CutCaption(const QString& caption, const std::function<bool(const QString&)>& fits) {
    for (qsizetype end = caption.lastIndexOf(QLatin1Char(' ')); end > 0;
         end = caption.lastIndexOf(QLatin1Char(' '), end - 1)) {
        const QString head = WithoutOpenParenthesis(caption.left(end));
        if (!head.isEmpty() && fits(head + kEllipsis)) return head + kEllipsis;
    }
    for (qsizetype end = caption.size() - 1; end > 0; --end) {
        const QString head = WithoutOpenParenthesis(caption.left(end));
        if (!head.isEmpty() && fits(head + kEllipsis)) return head + kEllipsis;
    }
    return kEllipsis;
}

}  // namespace

QString CompareDifferences::ShortText(const std::function<bool(const QString&)>& fits) const {
    if (IsEmpty()) return {};
    // The whole list may fit where all but its last and the count would not.
    if (fits(Line(shortLeadIn, items.size()))) return Line(shortLeadIn, items.size());
    qsizetype shown = 1;
    while (shown + 1 < items.size() && fits(Line(shortLeadIn, shown + 1))) ++shown;
    const QString line = Line(shortLeadIn, shown);
    if (shown > 1 || fits(line)) return line;
    const QString rest = line.mid(shortLeadIn.size() + items.first().size());
    return shortLeadIn +
           CutCaption(items.first(), [&](const QString& cut) { return fits(shortLeadIn + cut + rest); }) +
           rest;
}

CompareDifferences FindCompareDifferences(const ModuleCopyBytes& expected,
                                          const ModuleCopyBytes& module, int blocksDone) {
    ParameterImage a;
    std::copy(expected.begin(), expected.end(), a.begin());
    const ModuleBlocksCompared compared = CompareModuleBlocks(a, module, blocksDone);
    if (compared.Equal()) return {};
    const ParameterImage& b = compared.module;

    CompareDifferences found;
    for (const std::string& name : DifferingFieldNames(a, b, true))
        found.items << QString::fromStdString(FieldTitle(name));
    if (!found.items.isEmpty()) {
        found.leadIn = QStringLiteral("Eltérő beállítások: ");
        found.shortLeadIn = QStringLiteral("Eltér: ");
        return found;
    }
    // Only bytes that no setting shows differ (the gaps of the memory map, a text's filler).
    found.leadIn = QStringLiteral("Beállításon kívüli bájtok térnek el: ");
    found.shortLeadIn = QStringLiteral("Beállításon kívüli bájtok: ");
    for (const int n : compared.differingBlocks) found.items << QStringLiteral("%1. blokk").arg(n);
    return found;
}

}  // namespace orbiqa
