#include "ui/pages/ChangeSerialPasswordDialog.h"

#include "ui/controls/ControlId.h"
#include "ui/pages/SettingsBinding.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CChangeSNPassword::CChangeSNPassword(QWidget* parent)
    : QDialog(parent), code_(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Tarnwick Wireless 4730"));
    SetControlId(code_, kCodeEdit);
    code_->setEchoMode(QLineEdit::Password);
    QLabel* prompt = CreateLabel(this, QStringLiteral("Input password"), code_);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    SetControlId(ok, kOkButton);
    ok->setDefault(true);
    auto* exit = new QPushButton(QStringLiteral("EXIT"), this);
    SetControlId(exit, kExitButton);
    exit->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(exit, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(prompt, 0, 0);
    layout->addWidget(code_, 0, 1);
    layout->addWidget(ok, 1, 0);
    layout->addWidget(exit, 1, 1, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    code_->setMinimumWidth(140);
    code_->setFocus();
}

QString CChangeSNPassword::code() const {
    return code_->text();
}
