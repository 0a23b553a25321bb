#include "ui/pages/CannedMessagePage.h"

#include "ui/pages/CannedTextEdit.h"
#include "ui/pages/DialogUnitPageSize.h"
#include "ui/pages/SettingsBinding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTextDocument>

#include <algorithm>

namespace {

const QStringList kAlertChoices{QStringLiteral("System"), QStringLiteral("1"), QStringLiteral("2"),
                                QStringLiteral("3"),      QStringLiteral("4"), QStringLiteral("5"),
                                QStringLiteral("6"),      QStringLiteral("7"), QStringLiteral("8")};

QString ToneName(int tone) {
    return QStringLiteral("Tone %1").arg(QChar(u'A' + tone));
}

QString CapcodeHeading(int capcode) {
    return QStringLiteral("Capcode %1").arg(capcode);
}

// A stored text: the bytes before the first zero, at most the first 127.
std::string StoredText(const PagerSettings::CannedText& buffer) {
    const auto end = std::find(buffer.begin(), buffer.begin() + PagerSettings::kCannedTextWidth,
                               std::uint8_t{0});
    return std::string(buffer.begin(), end);
}

// Sixteen group boxes share the page with little room to spare. Their contents start right
// under the title and end just inside the frame, which leaves each message edit two lines.
class TightGroupBox final : public QGroupBox {
public:
    TightGroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) { tighten(); }

protected:
    // The box sets the style's margins again when its style or font changes.
    void changeEvent(QEvent* event) override {
        QGroupBox::changeEvent(event);
        tighten();
    }

private:
    void tighten() {
        QStyleOptionGroupBox option;
        initStyleOption(&option);
        const QRect title =
            style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, this);
        const QMargins margins = contentsMargins();
        setContentsMargins(margins.left(), title.bottom() + 1, margins.right(), kFrameLine);
    }

    static constexpr int kFrameLine = 1;
};

} // namespace

CCanMessage::CCanMessage(const PageEnvironment& environment, int instance, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent), instance_(instance) {
    letEnterKeyThrough(); // the message edits take Enter as a new line
    // Sixteen slots of four controls need the whole page area at the window's font.
    setFixedSize(DialogUnitPageSize(font()));
    buildSlots();
    CCanMessage::loadFromSettings(); // during construction only this class's own version can run
}

void CCanMessage::buildSlots() {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(0);
    for (int column = 0; column < kColumns; ++column) {
        headings_[column] =
            CreateLabel(this, CapcodeHeading(column + 1), nullptr, kFirstHeading + column);
        grid->addWidget(headings_[column], 0, column, Qt::AlignCenter);
        grid->setColumnStretch(column, 1);
    }

    for (int s = 0; s < kSlotsPerPage; ++s) {
        const int column = s / kTones;
        const int tone = s % kTones;
        const SlotIds& ids = kSlotIds[s];
        // Named by the capcode the slot belongs to, which the instance fixes.
        const QString where = QStringLiteral("%1, capcode %2")
                                  .arg(ToneName(tone))
                                  .arg(kColumns * instance_ + column + 1);

        auto* group = new TightGroupBox(ToneName(tone), this);
        SlotControls& slot = controls_[s];
        slot.enable = CreateCheckBox(group, ids.enable, QStringLiteral("Enable"));
        slot.append = CreateCheckBox(group, ids.append, QStringLiteral("Append Message"));
        slot.list = CreateComboBox(group, ids.list, kAlertChoices);
        slot.text = new CannedTextEdit(group);
        SetControlId(slot.text, ids.text);
        // The edits take what room is left, so the columns share the page evenly.
        slot.text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        slot.text->document()->setDocumentMargin(0);
        // The list takes the height of the "Enable" box beside it, to leave the edit its room.
        slot.list->setSizePolicy(slot.list->sizePolicy().horizontalPolicy(), QSizePolicy::Ignored);
        slot.text->setAccessibleName(QStringLiteral("Message"));
        slot.list->setAccessibleName(QStringLiteral("Alert"));
        for (QWidget* control :
             {static_cast<QWidget*>(slot.enable), static_cast<QWidget*>(slot.append),
              static_cast<QWidget*>(slot.list), static_cast<QWidget*>(slot.text)}) {
            control->setAccessibleDescription(where);
        }

        auto* fields = new QGridLayout(group);
        fields->setContentsMargins(1, 0, 1, 0);
        fields->setHorizontalSpacing(2);
        fields->setVerticalSpacing(0);
        fields->addWidget(slot.enable, 0, 0);
        fields->addWidget(slot.list, 0, 1);
        fields->addWidget(slot.append, 1, 0, 1, 2);
        fields->addWidget(slot.text, 2, 0, 1, 2);
        fields->setRowStretch(2, 1);
        grid->addWidget(group, tone + 1, column);
        grid->setRowStretch(tone + 1, 1);

        connect(slot.enable, &QCheckBox::toggled, this,
                [controls = slot](bool enabled) { EnableSlot(controls, enabled); });
    }
}

void CCanMessage::EnableSlot(const SlotControls& controls, bool enabled) {
    controls.append->setEnabled(enabled);
    controls.list->setEnabled(enabled);
    controls.text->setEnabled(enabled);
}

std::size_t CCanMessage::firstSettingsSlot() const {
    return static_cast<std::size_t>(kSlotsPerPage) * static_cast<std::size_t>(instance_);
}

void CCanMessage::loadFromSettings() {
    const PagerSettings& source = settings();
    for (std::size_t s = 0; s < slots_.size(); ++s) {
        const std::size_t m = firstSettingsSlot() + s;
        slots_[s] = Slot{source.cannedEnabled.at(m), source.cannedAppend.at(m),
                         source.cannedTone.at(m), source.cannedMessages.at(m)};
    }
    showSlots();
    if (instance_ == 1) {
        for (int column = 0; column < kColumns; ++column) {
            headings_[column]->setText(CapcodeHeading(kColumns + column + 1));
        }
    }
}

void CCanMessage::storeToSettings() {
    readSlots();
    PagerSettings& target = settings();
    for (std::size_t s = 0; s < slots_.size(); ++s) {
        const std::size_t m = firstSettingsSlot() + s;
        target.cannedEnabled.at(m) = slots_[s].enabled;
        target.cannedAppend.at(m) = slots_[s].append;
        target.cannedTone.at(m) = slots_[s].tone;
        target.cannedMessages.at(m) = slots_[s].text;
    }
}

void CCanMessage::showSlots() {
    for (std::size_t s = 0; s < slots_.size(); ++s) {
        const Slot& slot = slots_[s];
        const SlotControls& controls = controls_[s];
        ShowCheck(controls.enable, slot.enabled);
        ShowListIndex(controls.list, slot.tone);
        ShowCheck(controls.append, slot.append);
        controls.text->showBytes(StoredText(slot.text));
        // Set here as well: the toggle handler does not run when the box keeps its state.
        EnableSlot(controls, slot.enabled != 0);
    }
}

void CCanMessage::readSlots() {
    for (std::size_t s = 0; s < slots_.size(); ++s) {
        Slot& slot = slots_[s];
        const SlotControls& controls = controls_[s];
        slot.enabled = CheckValueOf(controls.enable);
        slot.tone = ListIndexOf(controls.list);
        slot.append = CheckValueOf(controls.append);
        const std::string text = controls.text->bytes();
        slot.text.fill(0);
        std::copy_n(text.begin(), std::min(text.size(), PagerSettings::kCannedTextWidth),
                    slot.text.begin());
    }
}

void CCanMessage::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        setFixedSize(DialogUnitPageSize(font()));
    }
    SettingsPage::changeEvent(event);
}

void CCanMessage::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept(); // reached only from controls that do not use Enter themselves
        return;
    }
    SettingsPage::keyPressEvent(event);
}
