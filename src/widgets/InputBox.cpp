#include "widgets/InputBox.h"

#include <QInputDialog>

namespace orbiqa {

QString AskText(const InputBoxRequest& request) {
    QInputDialog box(request.Parent);
    box.setObjectName(request.ObjectName);
    box.setWindowTitle(request.Caption);
    box.setLabelText(request.Prompt);
    box.setTextValue(request.Initial);
    // The buttons keep the captions of the system's own input box, whatever Qt's translation.
    box.setOkButtonText("OK");
    box.setCancelButtonText("Cancel");
    return box.exec() == QDialog::Accepted ? box.textValue() : QString();
}

}  // namespace orbiqa
