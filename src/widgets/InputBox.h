#pragma once
// The program's one-line input boxes: a caption, a prompt, a text to start from, OK and Cancel.
#include <QString>

class QWidget;

namespace orbiqa {

struct InputBoxRequest {
    QWidget* Parent = nullptr;
    QString ObjectName;  ///< how tests and assistive technology find the box
    QString Caption;
    QString Prompt;
    QString Initial;  ///< the text the entry starts with
};

/// Shows a modal input box and returns what was typed; an empty text when it was cancelled.
QString AskText(const InputBoxRequest& request);

}  // namespace orbiqa
