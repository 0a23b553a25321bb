#include "ui/pages/SettingsPage.h"

#include "programming/ProgrammerContext.h"
#include "ui/controls/ControlId.h"
#include "ui/controls/MessageBoxService.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace {

// Swallows the Enter key on its way to any control inside a settings page that consumes it.
// It watches the whole application, like a pre-translation hook, because a key press goes to
// the focused control first and only reaches the page if that control ignores it. The nearest
// page up the parent chain decides; the search stops at a window border, so popups and
// dialogs opened from a page keep their Enter key.
class EnterKeyGuard final : public QObject {
public:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !receiver->isWidgetType()) {
            return false;
        }
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter) {
            return false;
        }
        for (auto* widget = static_cast<QWidget*>(receiver); widget != nullptr;
             widget = widget->parentWidget()) {
            if (const auto* page = qobject_cast<const SettingsPage*>(widget)) {
                return page->consumesEnterKey();
            }
            if (widget->isWindow()) {
                break;
            }
        }
        return false;
    }
};

// One guard while any page exists.
EnterKeyGuard* guard = nullptr;
int livePages = 0;

void RegisterPage() {
    if (livePages++ == 0) {
        guard = new EnterKeyGuard;
        QCoreApplication::instance()->installEventFilter(guard);
    }
}

void UnregisterPage() {
    if (--livePages == 0) {
        delete guard; // removes itself from the application's filters
        guard = nullptr;
    }
}

} // namespace

SettingsPage::SettingsPage(const PageEnvironment& environment, int templateId, QWidget* parent)
    : QWidget(parent), environment_(environment), templateId_(templateId) {
    MarkControlScope(this);
    setFixedSize(kPageSize);
    RegisterPage();
}

SettingsPage::~SettingsPage() {
    UnregisterPage();
}

PagerSettings& SettingsPage::settings() const {
    return environment_.context.settings;
}

ProgramState& SettingsPage::programState() const {
    return environment_.context.state;
}

Generation SettingsPage::programmingMode() const {
    return environment_.context.state.programmingMode.load();
}

MessageAnswer SettingsPage::showMessage(const MessageRequest& request) {
    return environment_.messages.Show(window(), request);
}
