#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

// The serial-number access dialog behind "Change S/N": asks for the service code and returns
// it to the General page, which judges it.
class CChangeSNPassword : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 159;
    static constexpr int kCodeEdit = 1029;
    static constexpr int kOkButton = 1;
    static constexpr int kExitButton = 2;

    explicit CChangeSNPassword(QWidget* parent = nullptr);

    // The code as typed; read it after the dialog was closed with "OK".
    QString code() const;

private:
    QLineEdit* code_;
};
