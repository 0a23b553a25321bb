#include "ui/controls/SettingsTabAccessibility.h"

#include "ui/controls/SettingsTabControl.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QPointer>

#include <vector>

namespace {

class PageTabAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    PageTabAccessible(CMyTab* control, int index) : control_(control), index_(index) {}

    bool isValid() const override { return control_ && index_ < control_->tabCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        return control_ ? control_->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(control_.data());
    }
    // The tab's page is its only child.
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(page()) : nullptr;
    }
    int childCount() const override { return page() != nullptr ? 1 : 0; }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr && page() != nullptr && child->object() == page() ? 0 : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        QWidget* shown = page();
        if (shown == nullptr || !shown->isVisible() ||
            !QRect(shown->mapToGlobal(QPoint(0, 0)), shown->size()).contains(x, y)) {
            return nullptr;
        }
        return child(0);
    }
    QWidget* page() const { return isValid() ? control_->pageAt(index_) : nullptr; }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && isValid()) {
            return control_->caption(index_);
        }
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        if (!isValid()) {
            return {};
        }
        const QRect local = control_->tabRect(index_);
        return QRect(control_->mapToGlobal(local.topLeft()), local.size());
    }

    QAccessible::Role role() const override { return QAccessible::PageTab; }

    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        const bool selected = control_->currentIndex() == index_;
        state.selectable = true;
        state.focusable = true;
        state.selected = selected;
        state.focused = selected && control_->hasFocus();
        state.invisible = !control_->isVisible();
        state.disabled = !control_->isEnabled();
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ActionInterface) {
            return static_cast<QAccessibleActionInterface*>(this);
        }
        return nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction() && isValid() && control_->isEnabled()) {
            control_->setCurrentIndex(index_);
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<CMyTab> control_;
    int index_;
};

class TabControlAccessible final : public QAccessibleWidget {
public:
    explicit TabControlAccessible(CMyTab* control)
        : QAccessibleWidget(control, QAccessible::PageTabList) {}

    ~TabControlAccessible() override {
        for (QAccessible::Id id : tabIds_) {
            QAccessible::deleteAccessibleInterface(id);
        }
    }

    // The tabs only: the pages are reached through their tabs.
    int childCount() const override { return tabs(); }

    QAccessibleInterface* child(int index) const override {
        return index >= 0 && index < tabs() ? tabInterface(index) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < tabs() && i < static_cast<int>(tabIds_.size()); ++i) {
            if (QAccessible::accessibleInterface(tabIds_[static_cast<std::size_t>(i)]) == child) {
                return i;
            }
        }
        return -1;
    }

    // A tab under the point, or the selected tab when the point is on its page.
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint local = control()->mapFromGlobal(QPoint(x, y));
        for (int i = 0; i < tabs(); ++i) {
            if (control()->tabRect(i).contains(local)) {
                return tabInterface(i);
            }
        }
        const int current = control()->currentIndex();
        if (current >= 0 && tabInterface(current)->childAt(x, y) != nullptr) {
            return tabInterface(current);
        }
        return nullptr;
    }

    // The selected tab when the control itself or a control on its page has the focus.
    QAccessibleInterface* focusChild() const override {
        const int current = control()->currentIndex();
        if (current < 0) {
            return nullptr;
        }
        const QWidget* focused = QApplication::focusWidget();
        const QWidget* page = control()->pageAt(current);
        if (control()->hasFocus() ||
            (focused != nullptr && page != nullptr && page->isAncestorOf(focused))) {
            return tabInterface(current);
        }
        return nullptr;
    }

    // The interface of the tab holding page, or nullptr when no tab holds it.
    QAccessibleInterface* tabHolding(const QWidget* page) const {
        for (int i = 0; i < tabs(); ++i) {
            if (control()->pageAt(i) == page) {
                return tabInterface(i);
            }
        }
        return nullptr;
    }

private:
    CMyTab* control() const { return static_cast<CMyTab*>(widget()); }
    int tabs() const { return control()->tabCount(); }

    // One interface per tab position, made on first use and kept for the control's life; an
    // interface whose position has no tab at the moment reports itself invalid.
    QAccessibleInterface* tabInterface(int index) const {
        while (static_cast<int>(tabIds_.size()) <= index) {
            auto* tab = new PageTabAccessible(control(), static_cast<int>(tabIds_.size()));
            tabIds_.push_back(QAccessible::registerAccessibleInterface(tab));
        }
        return QAccessible::accessibleInterface(tabIds_[static_cast<std::size_t>(index)]);
    }

    mutable std::vector<QAccessible::Id> tabIds_;
};

// A page of the tab control: its parent for assistive technology is the tab that holds it,
// and it is named by that tab's caption unless it has a name of its own.
class TabPageAccessible final : public QAccessibleWidget {
public:
    explicit TabPageAccessible(QWidget* page) : QAccessibleWidget(page) {}

    QAccessibleInterface* parent() const override {
        TabControlAccessible* control = controlInterface();
        if (control == nullptr) {
            return QAccessibleWidget::parent();
        }
        QAccessibleInterface* tab = control->tabHolding(widget());
        return tab != nullptr ? tab : control;
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            if (QAccessibleInterface* tab = holdingTab()) {
                return tab->text(QAccessible::Name).trimmed();
            }
        }
        return QAccessibleWidget::text(kind);
    }

private:
    // The tab control's interface, while the page sits on a tab control.
    TabControlAccessible* controlInterface() const {
        auto* control = qobject_cast<CMyTab*>(widget()->parentWidget());
        return control != nullptr ? dynamic_cast<TabControlAccessible*>(
                                        QAccessible::queryAccessibleInterface(control))
                                  : nullptr;
    }
    QAccessibleInterface* holdingTab() const {
        TabControlAccessible* control = controlInterface();
        return control != nullptr ? control->tabHolding(widget()) : nullptr;
    }
};

// Asked with the most derived class name first, so a page of any class gets its interface
// here before the generic widget one.
QAccessibleInterface* CreateSettingsTabAccessible(const QString& className, QObject* object) {
    if (object == nullptr || !object->isWidgetType()) {
        return nullptr;
    }
    if (className == QLatin1String("CMyTab")) {
        return new TabControlAccessible(static_cast<CMyTab*>(object));
    }
    if (qobject_cast<CMyTab*>(object->parent()) != nullptr) {
        return new TabPageAccessible(static_cast<QWidget*>(object));
    }
    return nullptr;
}

} // namespace

void InstallSettingsTabAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&CreateSettingsTabAccessible);
        return true;
    }();
    (void)installed;
}
