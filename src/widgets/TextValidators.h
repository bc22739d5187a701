#pragma once
// Input filters for single-line edits whose text ends up as Windows-1250 bytes.
#include <QValidator>

namespace orbiqa {

/// Accepts a text only when every character has a place in Windows-1250 and every byte it becomes
/// passes `keeps`, the field's own byte rule (the same one that judges a value set from outside
/// the editor), so that what the module cannot hold is refused as it is typed or pasted. With
/// `dropSpaces`, spaces are removed from what is typed or pasted instead (for fields that can
/// never hold a space).
class TWin1250Validator : public QValidator {
    Q_OBJECT
public:
    using ByteRule = bool (*)(char);

    TWin1250Validator(bool dropSpaces, ByteRule keeps, QObject* parent = nullptr)
        : QValidator(parent), dropSpaces_(dropSpaces), keeps_(keeps) {}

    State validate(QString& input, int& pos) const override;

private:
    bool dropSpaces_;
    ByteRule keeps_;
};

}  // namespace orbiqa
