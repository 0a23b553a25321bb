#include "ui/controls/SettingsTabAccessibility.h"

#include "ui/controls/SettingsTabControl.h"

#include <QAccessible>
#include <QAccessibleWidget>
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
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

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

    int childCount() const override { return tabs() + QAccessibleWidget::childCount(); }

    QAccessibleInterface* child(int index) const override {
        if (index < 0) {
            return nullptr;
        }
        if (index < tabs()) {
            return tabInterface(index);
        }
        return QAccessibleWidget::child(index - tabs());
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < tabs() && i < static_cast<int>(tabIds_.size()); ++i) {
            if (QAccessible::accessibleInterface(tabIds_[static_cast<std::size_t>(i)]) == child) {
                return i;
            }
        }
        const int widgetIndex = QAccessibleWidget::indexOfChild(child);
        return widgetIndex < 0 ? -1 : widgetIndex + tabs();
    }

    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint local = control()->mapFromGlobal(QPoint(x, y));
        for (int i = 0; i < tabs(); ++i) {
            if (control()->tabRect(i).contains(local)) {
                return tabInterface(i);
            }
        }
        return QAccessibleWidget::childAt(x, y);
    }

    QAccessibleInterface* focusChild() const override {
        if (control()->hasFocus() && control()->currentIndex() >= 0) {
            return tabInterface(control()->currentIndex());
        }
        return QAccessibleWidget::focusChild();
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

QAccessibleInterface* CreateSettingsTabAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("CMyTab") && object != nullptr && object->isWidgetType()) {
        return new TabControlAccessible(static_cast<CMyTab*>(object));
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
