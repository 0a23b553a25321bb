#pragma once

#include <QDialog>
#include <QIcon>

// The About box: the program's icon, its version line and "OK".
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 100;
    static constexpr int kOkId = 1;
    static constexpr const char* kVersionLine = "4730 & 6920 Pager Programmer Version 3.05";

    explicit CAboutDlg(const QIcon& icon, QWidget* parent = nullptr);
};
