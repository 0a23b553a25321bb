#pragma once

// Gives every drop-down list (QComboBox) an accessible name that is its label whatever it
// shows: the name set on it, else the text of the label whose buddy it is, else its accessible
// description (the lists of a grid are described by column and row). Qt on Linux would name a
// list by its current item, and a list without a selection by the title of the group box around
// it, as if that were a value. The current item is the list's value and its text (as a read-only
// text interface, which screen readers read as a list's value, with a text change announced
// when the choice changes); its one child is the list of items. Installing more than once is
// harmless.
void InstallDropDownAccessibility();
