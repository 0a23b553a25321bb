#pragma once

#include "ui/pages/SettingsBinding.h"

#include <QString>
#include <QStringList>

#include <span>
#include <vector>

class QBoxLayout;
class QComboBox;
class QLabel;
class QVBoxLayout;
class QWidget;

// A drop-down list with its caption above it, bound to one setting: the shape most option
// pages are made of. Lists the page refills by programming mode start without items.
struct CaptionedListRow {
    int captionId; // kNoControlId for captions without an id
    QString caption;
    int listId;
    QStringList items;
    ByteField field;
};

struct CaptionedList {
    QLabel* caption = nullptr;
    QComboBox* list = nullptr;

    void setEnabled(bool enabled) const;
    void setVisible(bool visible) const;
};

// Creates each row's caption and list under parent (the caption names its list for assistive
// technology), binds the list to its setting and adds both to column, top to bottom.
std::vector<CaptionedList> AddCaptionedLists(QWidget* parent, QBoxLayout* column,
                                             std::span<const CaptionedListRow> rows,
                                             SettingsBinding& binding);

// The column of a page made of captioned lists: the page's layout, with the usual margins.
QVBoxLayout* CreateListColumn(QWidget* page);

// A page that is nothing but captioned lists, top to bottom, with the space left below them.
std::vector<CaptionedList> BuildListColumn(QWidget* page, std::span<const CaptionedListRow> rows,
                                           SettingsBinding& binding);
