#pragma once

#include <QWidget>

// Numeric control ids as the window layouts name them. An id is unique within one page or
// dialog but the same number appears on several pages (1029 is on many of them; the main
// window's "Write" button and the General page's startup-text edit are both 1026), so every
// lookup starts from a root and never crosses into another page or dialog below it.

inline constexpr int kNoControlId = -1;

// Stores the id on the widget and names it "id<id>" so that it is also easy to spot in
// debuggers and accessibility trees.
void SetControlId(QWidget* widget, int id);

// The id given by SetControlId, or kNoControlId.
int ControlIdOf(const QWidget* widget);

// Marks a widget (a settings page, an embedded dialog) as owning its own id space: a lookup
// from an ancestor does not look inside it. Windows are id spaces of their own anyway.
void MarkControlScope(QWidget* widget);
bool IsControlScope(const QWidget* widget);

// The first descendant of root with the id, breadth first, not entering other id spaces.
QWidget* FindControlWidget(QWidget* root, int id);

template <class T> T* FindControl(QWidget* root, int id) {
    return dynamic_cast<T*>(FindControlWidget(root, id));
}
