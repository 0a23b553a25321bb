#pragma once

#include "programming/ProgramState.h"
#include "ui/pages/SettingsPage.h"

#include <QString>

#include <array>
#include <cstddef>
#include <memory>

class CInputCapcode;
class CMyTab;

// The fifteen settings pages, named in the order of a fully built V2 tab set.
enum class PageKind : std::size_t {
    General,
    Ota,
    MessageSettings,
    PagerMenu,
    HandProgram,
    ToneSettings,
    AlertSettings,
    UnreadMessages,
    DuplicateMessages,
    OutOfRange,
    RfSettings,
    Alerting,
    Display,
    CanMessage1,
    CanMessage2,
};
inline constexpr std::size_t kPageCount = 15;

// The pages the main window owns, and the orders in which it builds, loads, stores, shows and
// deletes them. All fifteen exist for the window's whole life; a page without a tab is hidden.
class SettingsPageSet {
public:
    // Builds the pages one after the other as hidden children of the tab control, without
    // adding any tab.
    SettingsPageSet(const PageEnvironment& environment, CMyTab& tabControl);
    // Deletes the pages in the window's destroy order.
    ~SettingsPageSet();
    SettingsPageSet(const SettingsPageSet&) = delete;
    SettingsPageSet& operator=(const SettingsPageSet&) = delete;

    SettingsPage& page(PageKind kind) const;
    CInputCapcode& general() const;
    static QString Caption(PageKind kind);

    // Every page loads its controls from the settings, in or out of a tab, in either mode.
    void LoadAll();
    // The General page always; the others only once the tabs are unlocked (OTA in V1 mode too).
    void Store(bool unlocked);
    // Rebuilds the tabs from the lock state and the mode: " General " alone while locked,
    // otherwise all pages (no " OTA " in V1 mode), unlocking a requested unlock. Afterwards
    // " General " is selected and its page is the only one showing.
    void RebuildTabs(CMyTab& tabControl, ProgramState& state);

private:
    std::array<std::unique_ptr<SettingsPage>, kPageCount> pages_;
};
