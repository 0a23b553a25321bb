#pragma once

#include "ui/pages/SettingsPage.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <filesystem>

struct ProgrammerContext;

enum class RepairRequestResult {
    Requested, // the image holds the file with the identity; a repair write is requested
    NoFile,    // the file could not be read: nothing changed
    Busy,      // a read or write is running: nothing changed
};

// Loads up to 8192 bytes of the image file into the pager memory image (a shorter file leaves
// the rest as it was), stamps the pager identity into bytes 0..3 and requests a repair write,
// which the main window starts at its next timer tick. Refused while a read or write runs:
// the running worker would send a stale snapshot or overwrite the repaired image, and the
// request would wait to take over the next Write instead of the pages' settings.
RepairRequestResult RequestRepairWrite(ProgrammerContext& context,
                                       const std::filesystem::path& file,
                                       const std::array<std::uint8_t, 4>& identity);

// The repair dialog behind "Repair Pager": loads "default.sav" from the current directory into
// the image, stamps the chosen pager generation into it and requests a repair write. It stays
// open, so a technician can repair one pager after another.
class CRepairPager : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 167;
    static constexpr int kV1Button = 1095;
    static constexpr int kV2Button = 1096;
    static constexpr int kExitButton = 1;

    explicit CRepairPager(const PageEnvironment& environment, QWidget* parent = nullptr);

private:
    void requestRepair(const std::array<std::uint8_t, 4>& identity);

    PageEnvironment environment_;
};
