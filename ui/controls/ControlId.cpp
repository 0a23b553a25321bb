#include "ui/controls/ControlId.h"

#include <QVariant>

#include <deque>

namespace {
constexpr const char* kIdProperty = "controlId";
constexpr const char* kScopeProperty = "controlScope";
} // namespace

void SetControlId(QWidget* widget, int id) {
    widget->setProperty(kIdProperty, id);
    widget->setObjectName(QStringLiteral("id%1").arg(id));
}

int ControlIdOf(const QWidget* widget) {
    const QVariant id = widget->property(kIdProperty);
    return id.isValid() ? id.toInt() : kNoControlId;
}

void MarkControlScope(QWidget* widget) {
    widget->setProperty(kScopeProperty, true);
}

bool IsControlScope(const QWidget* widget) {
    return widget->property(kScopeProperty).toBool();
}

QWidget* FindControlWidget(QWidget* root, int id) {
    if (root == nullptr) {
        return nullptr;
    }
    std::deque<QWidget*> pending{root};
    while (!pending.empty()) {
        QWidget* parent = pending.front();
        pending.pop_front();
        for (QObject* object : parent->children()) {
            auto* child = qobject_cast<QWidget*>(object);
            if (child == nullptr) {
                continue;
            }
            if (child->isWindow()) {
                continue;
            }
            if (ControlIdOf(child) == id) {
                return child;
            }
            if (!IsControlScope(child)) {
                pending.push_back(child);
            }
        }
    }
    return nullptr;
}
