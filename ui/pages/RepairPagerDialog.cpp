#include "ui/pages/RepairPagerDialog.h"

// Will hold the three lines of text and the "V1 Pager", "V2 Pager" and "Exit" buttons.
CRepairPager::CRepairPager(ProgrammerContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {}
