#include "widgets/TextValidators.h"

#include <algorithm>

#include "widgets/QtText.h"

namespace orbiqa {

QValidator::State TWin1250Validator::validate(QString& input, int& pos) const {
    if (dropSpaces_ && input.contains(QLatin1Char(' '))) {
        pos -= static_cast<int>(input.left(pos).count(QLatin1Char(' ')));
        input.remove(QLatin1Char(' '));
    }
    const auto bytes = ToWin1250(input);
    return bytes && std::all_of(bytes->begin(), bytes->end(), keeps_) ? Acceptable : Invalid;
}

}  // namespace orbiqa
