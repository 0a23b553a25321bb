#include "ui/controls/DropDownAccessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>

namespace {

QString LabelOf(const QComboBox* list) {
    if (!list->accessibleName().isEmpty()) {
        return list->accessibleName();
    }
    if (const QWidget* around = list->parentWidget()) {
        const auto labels = around->findChildren<const QLabel*>();
        for (const QLabel* label : labels) {
            if (label->buddy() == list) {
                return label->text();
            }
        }
    }
    return list->accessibleDescription();
}

class DropDownAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit DropDownAccessible(QComboBox* list) : QAccessibleWidget(list, QAccessible::ComboBox) {
        // Screen readers hear a new choice as the list's text changing.
        QObject::connect(list, &QComboBox::currentTextChanged, list,
                         [list, previous = list->currentText()](const QString& now) mutable {
                             QAccessibleTextUpdateEvent event(list, 0, previous, now);
                             previous = now;
                             QAccessible::updateAccessibility(&event);
                         });
    }

    QString text(QAccessible::Text kind) const override {
        switch (kind) {
        case QAccessible::Name:
            return LabelOf(list());
        case QAccessible::Value:
            return list()->currentText();
        default:
            return QAccessibleWidget::text(kind);
        }
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = list()->view()->isVisible();
        return state;
    }

    // The list of items, as Qt gives every drop-down list.
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(list()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr && child->object() == list()->view() ? 0 : -1;
    }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QStringList actionNames() const override {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action != showMenuAction() && action != pressAction()) {
            QAccessibleWidget::doAction(action);
        } else if (list()->view()->isVisible()) {
            list()->hidePopup();
        } else {
            list()->showPopup();
        }
    }

    // The current item's text, read only.
    QString text(int startOffset, int endOffset) const override {
        return list()->currentText().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return static_cast<int>(list()->currentText().size()); }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    int selectionCount() const override { return 0; }
    void selection(int, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = 0;
    }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

private:
    QComboBox* list() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* CreateDropDownAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("QComboBox") && object != nullptr && object->isWidgetType()) {
        return new DropDownAccessible(static_cast<QComboBox*>(object));
    }
    return nullptr;
}

} // namespace

void InstallDropDownAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&CreateDropDownAccessible);
        return true;
    }();
    (void)installed;
}
