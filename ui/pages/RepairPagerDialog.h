#pragma once

#include <QDialog>

struct ProgrammerContext;

// The repair dialog behind "Repair Pager": loads "default.sav" into the image, stamps the
// chosen pager generation into it and requests a repair write.
class CRepairPager : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 167;

    explicit CRepairPager(ProgrammerContext& context, QWidget* parent = nullptr);

private:
    ProgrammerContext& context_;
};
