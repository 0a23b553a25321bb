#include "ui/controls/MessageBoxService.h"

#include <QMessageBox>

namespace {

QMessageBox::Icon IconFor(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Stop:
        return QMessageBox::Critical;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

MessageAnswer QtMessageBoxService::Show(QWidget* owner, const MessageRequest& request) {
    QMessageBox box(owner);
    box.setWindowTitle(QString::fromStdString(request.caption));
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(request.text));
    box.setIcon(IconFor(request.icon));
    if (request.buttons == MessageButtons::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    box.setDefaultButton(QMessageBox::Ok);
    // What went wrong, behind the box's "Show Details..." button; the box is otherwise the
    // same as without it.
    if (!request.details.empty()) {
        box.setDetailedText(QString::fromStdString(request.details));
    }
    box.exec();
    return box.clickedButton() == box.button(QMessageBox::Cancel) ? MessageAnswer::Cancel
                                                                  : MessageAnswer::Ok;
}
