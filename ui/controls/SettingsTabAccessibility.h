#pragma once

// Lets assistive technology reach the tabs of CMyTab, which are painted rather than widgets:
// the control is a page tab list whose first children are its tabs (role page tab, named by
// their captions, whose default action selects them), followed by its child widgets (the
// pages). Installing more than once is harmless.
void InstallSettingsTabAccessibility();
