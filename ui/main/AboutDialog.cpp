#include "ui/main/AboutDialog.h"

#include "ui/controls/ControlId.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kIconPixels = 48;
}

CAboutDlg::CAboutDlg(const QIcon& icon, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Pager Programmer"));

    auto* picture = new QLabel(this);
    picture->setPixmap(icon.pixmap(kIconPixels, kIconPixels));
    picture->setAccessibleName(QStringLiteral("Program icon"));

    auto* version = new QLabel(QString::fromLatin1(kVersionLine), this);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    SetControlId(ok, kOkId);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(picture, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addWidget(version, 1, Qt::AlignVCenter);
    row->addWidget(ok, 0, Qt::AlignTop);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(row);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}
