#pragma once
// Input filters for single-line edits whose text ends up as Windows-1250 bytes.
#include <QValidator>

namespace orbiqa {

/// Accepts a text only when every character has a place in Windows-1250, so that a character the
/// module cannot hold is refused as it is typed or pasted. With `dropSpaces`, spaces are removed
/// from what is typed or pasted instead (for fields that can never hold a space).
class TWin1250Validator : public QValidator {
    Q_OBJECT
public:
    explicit TWin1250Validator(bool dropSpaces, QObject* parent = nullptr)
        : QValidator(parent), dropSpaces_(dropSpaces) {}

    State validate(QString& input, int& pos) const override;

private:
    bool dropSpaces_;
};

}  // namespace orbiqa
