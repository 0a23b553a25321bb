#include "ui/pages/RepairPagerDialog.h"

#include "image/ImageFiles.h"
#include "programming/ProgrammerContext.h"
#include "ui/controls/ControlId.h"
#include "ui/controls/MessageBoxService.h"
#include "ui/pages/SettingsBinding.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <mutex>

namespace {

constexpr const char* kCaption = "Pager Programmer";
constexpr const char* kBusyText =
    "The pager is being read or written. Please wait until it has finished, then repair again.";

constexpr const char* kExplanation[] = {
    "This menu will repair pagers with corrupt settings.",
    "To continue,please install the pager into the cradle",
    "and select the model of pager below.",
};

QPushButton* CreateButton(QWidget* parent, int id, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    SetControlId(button, id);
    return button;
}

} // namespace

RepairRequestResult RequestRepairWrite(ProgrammerContext& context,
                                       const std::filesystem::path& file,
                                       const std::array<std::uint8_t, 4>& identity) {
    // Workers are started on this (the user-interface) thread only, so none can start between
    // this test and the request below.
    if (context.state.busy.load()) {
        return RepairRequestResult::Busy;
    }
    std::lock_guard lock(context.dataMutex);
    PagerImage repaired = context.image;
    if (ReadImageFile(file, repaired)) {
        return RepairRequestResult::NoFile;
    }
    std::copy(identity.begin(), identity.end(), repaired.begin());
    context.image = repaired;
    context.state.repairWriteRequest.store(kRepairRequested);
    return RepairRequestResult::Requested;
}

CRepairPager::CRepairPager(const PageEnvironment& environment, QWidget* parent)
    : QDialog(parent), environment_(environment) {
    setWindowTitle(QLatin1String(kCaption));

    auto* layout = new QVBoxLayout(this);
    for (const char* line : kExplanation) {
        layout->addWidget(CreateLabel(this, QLatin1String(line)));
    }
    layout->addSpacing(8);

    QPushButton* v1 = CreateButton(this, kV1Button, QStringLiteral("V1 Pager"));
    QPushButton* v2 = CreateButton(this, kV2Button, QStringLiteral("V2 Pager"));
    QPushButton* exit = CreateButton(this, kExitButton, QStringLiteral("Exit"));
    v1->setAutoDefault(false);
    v2->setAutoDefault(false);
    exit->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(v1);
    buttons->addWidget(v2);
    buttons->addStretch(1);
    buttons->addWidget(exit);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(v1, &QPushButton::clicked, this, [this] { requestRepair(kIdentityV1); });
    connect(v2, &QPushButton::clicked, this, [this] { requestRepair(kIdentityV2); });
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);
}

void CRepairPager::requestRepair(const std::array<std::uint8_t, 4>& identity) {
    // The bare name: the process's current directory at this moment.
    const RepairRequestResult result =
        RequestRepairWrite(environment_.context, kStartupImageName, identity);
    if (result == RepairRequestResult::Busy) {
        environment_.messages.Show(
            this, {kBusyText, kCaption, MessageIcon::Information, MessageButtons::Ok});
    }
}
