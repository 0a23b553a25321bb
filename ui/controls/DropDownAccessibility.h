#pragma once

// Gives every drop-down list (QComboBox) of the process, those of Qt's own dialogs included, an
// accessible name that is its label whatever it shows: the name set on it, else the text of the
// label whose buddy it is, else its accessible description (the lists of a grid are described
// by column and row), else the label just left of it in a grid or beside it in a form (Qt's file
// dialogs place "Look in:" and "Files of type:" so, without buddies). A list with no label at all
// keeps the name Qt gives it (its current item, else the title of the group box around it), so
// no list is nameless. Qt on Linux would name every list by its current item, and a list without
// a selection by the group box title, as if that were a value. The current item is the list's
// value and its text (as a read-only text interface, which screen readers read as a list's
// value, with a text change announced when the choice changes); its one child is the pop-up
// list of items, named after the list each time it opens. Installing more than once is
// harmless.
void InstallDropDownAccessibility();
