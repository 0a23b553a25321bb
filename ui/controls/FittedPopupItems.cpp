#include "ui/controls/FittedPopupItems.h"

#include <QAbstractItemDelegate>
#include <QComboBox>
#include <QPointer>

namespace {

// Draws with the list's own delegate but asks for no width: a list view in list mode makes
// every item as wide as its viewport, and no wider than the widest item asks for.
class FittedItemDelegate final : public QAbstractItemDelegate {
public:
    FittedItemDelegate(QAbstractItemDelegate* drawn, QObject* parent)
        : QAbstractItemDelegate(parent), drawn_(drawn) {
        drawn->setParent(this);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        drawn_->paint(painter, option, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {1, drawn_->sizeHint(option, index).height()};
    }

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override {
        return drawn_->editorEvent(event, model, option, index);
    }

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        return drawn_->helpEvent(event, view, option, index);
    }

private:
    QAbstractItemDelegate* drawn_;
};

} // namespace

void FitPopupItemsToList(QComboBox* list) {
    QAbstractItemDelegate* drawn = list->itemDelegate();
    if (drawn == nullptr || dynamic_cast<FittedItemDelegate*>(drawn) != nullptr) {
        return;
    }
    // The list leaves its old delegate alone; the new one owns it.
    list->setItemDelegate(new FittedItemDelegate(drawn, list));
}
