#include "ui/main/FileChooserService.h"

#include "ui/controls/FittedPopupItems.h"

#include <QComboBox>
#include <QFileDialog>

std::optional<QString> QtFileChooserService::Choose(QWidget* owner,
                                                    const FileDialogRequest& request) {
    const bool saving = request.purpose == FileDialogRequest::Purpose::Save;
    QFileDialog dialog(owner);
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(request.filter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.setDirectory(request.initialDirectory);
    dialog.selectFile(request.proposedName);
    // "Look in:" and "Files of type:" report their items where they are, like the program's
    // own lists.
    for (QComboBox* list : dialog.findChildren<QComboBox*>()) {
        FitPopupItemsToList(list);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen.front();
}
