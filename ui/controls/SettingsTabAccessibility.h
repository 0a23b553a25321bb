#pragma once

// Lets assistive technology reach the tabs of CMyTab, which are painted rather than widgets:
// the control is a page tab list whose children are its tabs (role page tab, named by their
// captions, whose default action selects them), and each tab holds its page as its one child,
// as desktop toolkits present a notebook. A page without a tab is not in the tree at all.
// Installing more than once is harmless.
void InstallSettingsTabAccessibility();
