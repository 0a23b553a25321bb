#pragma once

class QComboBox;

// Makes each item of a drop-down list's pop-up exactly as wide as the pop-up. The style draws
// the items as menu entries that ask for more width than a narrow list's pop-up has (at least
// 120 px in Fusion, where the "Auto Increment" pop-up is about 46 px); the view would then lay
// them out wider than it is, and each item would report a place reaching past the pop-up's
// edge, so a click at its reported centre misses it. The items look as before: the style still
// draws them, and the part beyond the edge was never seen.
void FitPopupItemsToList(QComboBox* list);
