#include "widgets/TextValidators.h"

#include "widgets/QtText.h"

namespace orbiqa {

QValidator::State TWin1250Validator::validate(QString& input, int& pos) const {
    if (dropSpaces_ && input.contains(QLatin1Char(' '))) {
        pos -= static_cast<int>(input.left(pos).count(QLatin1Char(' ')));
        input.remove(QLatin1Char(' '));
    }
    return ToWin1250(input) ? Acceptable : Invalid;
}

}  // namespace orbiqa
