#include "ui/pages/ToneSettingsPage.h"

namespace {

const QStringList kToneChoices{QStringLiteral("Disable"), QStringLiteral("A"),
                               QStringLiteral("B"),       QStringLiteral("C"),
                               QStringLiteral("D"),       QStringLiteral("ALL")};
const QStringList kMessageTypes{QStringLiteral("Alpha"), QStringLiteral("Numeric"),
                                QStringLiteral("Tone"), QStringLiteral("Disable")};

template <std::size_t Tone> ByteField ToneTypeOf(std::size_t capcode) {
    return ByteField(&PagerSettings::toneType, capcode, Tone);
}

constexpr std::size_t kUrgentColumn = 0;

const CapcodeListColumn kColumns[] = {
    {"Urgent", CAddressSet::kUrgentHeading, CAddressSet::kFirstUrgentList, kToneChoices,
     [](std::size_t n) { return ByteField(&PagerSettings::urgentTone, n); }},
    {"A Tone", kNoControlId, CAddressSet::FirstToneList(0), kMessageTypes, ToneTypeOf<0>},
    {"B Tone", kNoControlId, CAddressSet::FirstToneList(1), kMessageTypes, ToneTypeOf<1>},
    {"C Tone", kNoControlId, CAddressSet::FirstToneList(2), kMessageTypes, ToneTypeOf<2>},
    {"D Tone", kNoControlId, CAddressSet::FirstToneList(3), kMessageTypes, ToneTypeOf<3>},
};

} // namespace

CAddressSet::CAddressSet(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent),
      grid_(std::make_unique<CapcodeListGrid>(this, kColumns, binding_)) {
    CAddressSet::loadFromSettings(); // during construction only this class's own version can run
}

void CAddressSet::loadFromSettings() {
    grid_->setColumnVisible(kUrgentColumn, isV2Mode());
    binding_.load(settings());
}

void CAddressSet::storeToSettings() {
    binding_.store(settings());
}
