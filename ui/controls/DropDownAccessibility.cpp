#include "ui/controls/DropDownAccessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>

namespace {

bool Holds(QLayoutItem* item, const QWidget* widget) {
    if (item->widget() == widget) {
        return true;
    }
    if (QLayout* inner = item->layout()) {
        for (int i = 0; i < inner->count(); ++i) {
            if (Holds(inner->itemAt(i), widget)) {
                return true;
            }
        }
    }
    return false;
}

// The label just left of the list in a grid, or beside it in a form: where dialogs that give
// their labels no buddy put them (Qt's file dialogs, for "Look in:" and "Files of type:"). The
// list may sit in a row of other controls inside its cell.
QString LabelBeside(QLayout* layout, const QWidget* list) {
    if (auto* form = qobject_cast<QFormLayout*>(layout)) {
        if (const auto* label =
                qobject_cast<const QLabel*>(form->labelForField(const_cast<QWidget*>(list)))) {
            return label->text();
        }
    }
    auto* grid = qobject_cast<QGridLayout*>(layout);
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (grid != nullptr && Holds(item, list)) {
            int row = 0;
            int column = 0;
            int rowSpan = 0;
            int columnSpan = 0;
            grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
            const QLayoutItem* left = column > 0 ? grid->itemAtPosition(row, column - 1) : nullptr;
            const auto* label =
                left != nullptr ? qobject_cast<const QLabel*>(left->widget()) : nullptr;
            return label != nullptr ? label->text() : QString();
        }
        if (QLayout* inner = item->layout()) {
            if (QString text = LabelBeside(inner, list); !text.isEmpty()) {
                return text;
            }
        }
    }
    return {};
}

// The list's label: the name set on it, else the label whose buddy it is, else its accessible
// description (the lists of a grid are described by column and row), else the label beside it
// in its layout. Empty when it has none.
QString LabelOf(const QComboBox* list) {
    if (!list->accessibleName().isEmpty()) {
        return list->accessibleName();
    }
    const QWidget* around = list->parentWidget();
    if (around != nullptr) {
        const auto labels = around->findChildren<const QLabel*>();
        for (const QLabel* label : labels) {
            if (label->buddy() == list) {
                return label->text();
            }
        }
    }
    if (!list->accessibleDescription().isEmpty()) {
        return list->accessibleDescription();
    }
    if (around != nullptr && around->layout() != nullptr) {
        return LabelBeside(around->layout(), list);
    }
    return {};
}

// Names a list's pop-up of items after the list each time it opens, so the open pop-up is
// announced by what it chooses, not as an unnamed list.
class PopupNamer final : public QObject {
public:
    explicit PopupNamer(QComboBox* list) : QObject(list), list_(list) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched == list_->view()) {
            if (QAccessibleInterface* list = QAccessible::queryAccessibleInterface(list_)) {
                list_->view()->setAccessibleName(list->text(QAccessible::Name));
            }
        }
        return false;
    }

private:
    QComboBox* list_;
};

class DropDownAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit DropDownAccessible(QComboBox* list) : QAccessibleWidget(list, QAccessible::ComboBox) {
        list->view()->installEventFilter(new PopupNamer(list));
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
        case QAccessible::Name: {
            // A list nobody labelled keeps the name Qt would give it: on Linux its current
            // item, else the title of the group box around it.
            QString name = LabelOf(list());
            if (name.isEmpty()) {
                name = list()->currentText();
            }
            return name.isEmpty() ? QAccessibleWidget::text(kind) : name;
        }
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
