#include "ui/main/SettingsPageSet.h"

#include "ui/controls/SettingsTabControl.h"
#include "ui/pages/AlertSettingsPage.h"
#include "ui/pages/AlertingPage.h"
#include "ui/pages/CannedMessagePage.h"
#include "ui/pages/DisplayPage.h"
#include "ui/pages/DuplicateMessagesPage.h"
#include "ui/pages/GeneralPage.h"
#include "ui/pages/HandProgramPage.h"
#include "ui/pages/MessageSettingsPage.h"
#include "ui/pages/OtaPage.h"
#include "ui/pages/OutOfRangePage.h"
#include "ui/pages/PagerMenuPage.h"
#include "ui/pages/RfSettingsPage.h"
#include "ui/pages/ToneSettingsPage.h"
#include "ui/pages/UnreadMessagesPage.h"

namespace {

using K = PageKind;

// Tab captions in PageKind order; the blanks around them are part of the captions.
constexpr const char* kCaptions[kPageCount] = {
    " General ",
    " OTA ",
    " Message Settings ",
    " Pager Menu Options ",
    " Hand Program ",
    " Tone Settings ",
    " Alert Settings ",
    " Unread Messages ",
    " Duplicate Messages ",
    " Out of Range ",
    " RF Settings ",
    " Alerting ",
    " Display ",
    " Can Message 1 ",
    " Can Message 2 ",
};

using PageFactory = SettingsPage* (*)(const PageEnvironment&, QWidget*);

template <class Page> SettingsPage* Make(const PageEnvironment& environment, QWidget* parent) {
    return new Page(environment, parent);
}
template <int Instance>
SettingsPage* MakeCanMessage(const PageEnvironment& environment, QWidget* parent) {
    return new CCanMessage(environment, Instance, parent);
}

struct PageRecipe {
    PageKind kind;
    PageFactory make;
};

// Built, loaded and stored in this order.
constexpr PageRecipe kCreationOrder[kPageCount] = {
    {K::General, &Make<CInputCapcode>},
    {K::MessageSettings, &Make<CSPF>},
    {K::PagerMenu, &Make<CMenuSet>},
    {K::HandProgram, &Make<CHandWrite>},
    {K::ToneSettings, &Make<CAddressSet>},
    {K::AlertSettings, &Make<CAddressAlert>},
    {K::UnreadMessages, &Make<CUnreadSet>},
    {K::DuplicateMessages, &Make<CRepeatSet>},
    {K::OutOfRange, &Make<COORSet>},
    {K::RfSettings, &Make<CRFSet>},
    {K::Alerting, &Make<CMsgAlert>},
    {K::Display, &Make<CDisplaySet>},
    {K::Ota, &Make<COTADlg>},
    {K::CanMessage1, &MakeCanMessage<0>},
    {K::CanMessage2, &MakeCanMessage<1>},
};

constexpr PageKind kDestroyOrder[kPageCount] = {
    K::General,       K::MessageSettings, K::PagerMenu,         K::HandProgram, K::ToneSettings,
    K::AlertSettings, K::UnreadMessages,  K::DuplicateMessages, K::OutOfRange,  K::RfSettings,
    K::Alerting,      K::Display,         K::CanMessage1,       K::CanMessage2, K::Ota,
};

// The tabs after " General " (and " OTA " in V2 mode), in tab order.
constexpr PageKind kUnlockedTabs[] = {
    K::MessageSettings, K::PagerMenu,         K::HandProgram, K::ToneSettings, K::AlertSettings,
    K::UnreadMessages,  K::DuplicateMessages, K::OutOfRange,  K::RfSettings,   K::Alerting,
    K::Display,         K::CanMessage1,       K::CanMessage2,
};

constexpr std::size_t Index(PageKind kind) {
    return static_cast<std::size_t>(kind);
}

} // namespace

SettingsPageSet::SettingsPageSet(const PageEnvironment& environment, CMyTab& tabControl) {
    for (const PageRecipe& recipe : kCreationOrder) {
        auto& slot = pages_[Index(recipe.kind)];
        slot.reset(recipe.make(environment, &tabControl));
        slot->hide();
    }
}

SettingsPageSet::~SettingsPageSet() {
    for (const PageKind kind : kDestroyOrder) {
        pages_[Index(kind)].reset();
    }
}

SettingsPage& SettingsPageSet::page(PageKind kind) const {
    return *pages_[Index(kind)];
}

CInputCapcode& SettingsPageSet::general() const {
    return static_cast<CInputCapcode&>(page(K::General));
}

QString SettingsPageSet::Caption(PageKind kind) {
    return QString::fromLatin1(kCaptions[Index(kind)]);
}

void SettingsPageSet::LoadAll() {
    for (const PageRecipe& recipe : kCreationOrder) {
        page(recipe.kind).loadFromSettings();
    }
}

void SettingsPageSet::Store(bool unlocked) {
    for (const PageRecipe& recipe : kCreationOrder) {
        if (unlocked || recipe.kind == K::General) {
            page(recipe.kind).storeToSettings();
        }
    }
}

void SettingsPageSet::RebuildTabs(CMyTab& tabControl, ProgramState& state) {
    tabControl.DeleteAllTabs();
    // Hiding every page, not only General, leaves no page of a tab that no longer exists
    // showing on top of General.
    for (const auto& each : pages_) {
        each->hide();
    }
    auto add = [&](PageKind kind) { tabControl.AddTab(&page(kind), Caption(kind)); };
    add(K::General);
    if (state.tabLockState.load() == TabLockState::Locked) {
        return;
    }
    state.tabLockState.store(TabLockState::Unlocked);
    general().showPrivateColumn();
    if (state.programmingMode.load() == Generation::V2) {
        add(K::Ota);
    }
    for (const PageKind kind : kUnlockedTabs) {
        add(kind);
    }
}
