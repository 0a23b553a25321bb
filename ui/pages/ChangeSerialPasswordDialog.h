#pragma once

#include <QDialog>

// The serial-number access dialog behind "Change S/N": asks for the service code and returns
// it to the General page, which judges it.
class CChangeSNPassword : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 159;

    explicit CChangeSNPassword(QWidget* parent = nullptr);
};
