#include "ui/controls/SettingsTabControl.h"

#include "ui/controls/SettingsTabAccessibility.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyleOptionTab>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

#include <algorithm>

namespace {
// Space kept free on either side of the rows of tabs.
constexpr int kRowMargin = 2;
// Horizontal padding of a tab in the classic multi-line tab control: 6 pixels each side.
constexpr int kCompactTabPadding = 12;

// The lowest a row of tabs may be squeezed to and still show its caption.
int MinimumRowHeight(const QFontMetrics& metrics) {
    return metrics.height() + 4;
}
} // namespace

CMyTab::CMyTab(QWidget* parent) : QWidget(parent) {
    InstallSettingsTabAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

CMyTab::~CMyTab() {
    // The pages belong to the main window: take them out of Qt's parent-deletes-children rule.
    const auto children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        child->setParent(nullptr);
    }
}

void CMyTab::AddTab(QWidget* page, const QString& caption) {
    const bool first = tabs_.empty();
    if (page != nullptr) {
        if (page->parentWidget() != this) {
            page->setParent(this);
        }
        page->move(kPageOrigin);
        page->setVisible(first);
    }
    tabs_.push_back(Tab{caption, page});
    if (first) {
        current_ = 0;
    }
    invalidateLayout();
    notifyAccessibility(QAccessible::ObjectReorder);
}

void CMyTab::DeleteAllTabs() {
    tabs_.clear();
    current_ = -1;
    invalidateLayout();
    notifyAccessibility(QAccessible::ObjectReorder);
}

void CMyTab::setCurrentIndex(int index) {
    if (index < 0 || index >= tabCount() || index == current_) {
        return;
    }
    if (QWidget* leaving = pageAt(current_)) {
        leaving->hide();
    }
    current_ = index;
    if (QWidget* chosen = pageAt(current_)) {
        chosen->show();
    }
    invalidateLayout();
    emit currentChanged(current_);
    notifyAccessibility(QAccessible::Selection, current_);
    if (hasFocus()) {
        notifyAccessibility(QAccessible::Focus, current_);
    }
}

QWidget* CMyTab::pageAt(int index) const {
    if (index < 0 || index >= tabCount()) {
        return nullptr;
    }
    return tabs_[static_cast<std::size_t>(index)].page;
}

QString CMyTab::caption(int index) const {
    if (index < 0 || index >= tabCount()) {
        return {};
    }
    return tabs_[static_cast<std::size_t>(index)].caption;
}

QRect CMyTab::tabRect(int index) const {
    if (index < 0 || index >= tabCount()) {
        return {};
    }
    return layout().rects[static_cast<std::size_t>(index)];
}

int CMyTab::rowCount() const {
    return layout().rowCount;
}

int CMyTab::rowOf(int index) const {
    if (index < 0 || index >= tabCount()) {
        return -1;
    }
    return layout().rows[static_cast<std::size_t>(index)];
}

QRect CMyTab::pageArea() const {
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    const QPoint bottomRight(width() - 1 - kPageOrigin.x(), height() - 1 - std::max(frame, 2));
    return QRect(kPageOrigin, bottomRight);
}

bool CMyTab::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
    case QEvent::LayoutDirectionChange:
        invalidateLayout();
        break;
    case QEvent::HoverMove:
    case QEvent::HoverLeave:
        update(); // the tab under the mouse is highlighted
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void CMyTab::resizeEvent(QResizeEvent* event) {
    invalidateLayout();
    QWidget::resizeEvent(event);
}

void CMyTab::invalidateLayout() {
    layoutValid_ = false;
    update();
}

const CMyTab::Layout& CMyTab::layout() const {
    if (!layoutValid_) {
        layout_ = computeLayout();
        layoutValid_ = true;
    }
    return layout_;
}

QSize CMyTab::naturalTabSize(const QString& caption, bool compact) const {
    QStyleOptionTab option;
    option.initFrom(this);
    option.shape = QTabBar::RoundedNorth;
    option.text = caption;
    int horizontalSpace = style()->pixelMetric(QStyle::PM_TabBarTabHSpace, &option, this);
    if (compact) {
        horizontalSpace = std::min(horizontalSpace, kCompactTabPadding);
    }
    const int verticalSpace = style()->pixelMetric(QStyle::PM_TabBarTabVSpace, &option, this);
    const QFontMetrics& metrics = fontMetrics();
    const QSize contents(metrics.size(Qt::TextShowMnemonic, caption).width() + horizontalSpace,
                         metrics.height() + verticalSpace);
    if (compact) {
        return contents;
    }
    return style()->sizeFromContents(QStyle::CT_TabBarTab, &option, contents, this);
}

// Tabs are laid out with the style's own padding when the rows fit above the page origin, and
// with a narrower, classic padding when that saves rows.
CMyTab::Layout CMyTab::computeLayout() const {
    Layout natural = computeLayout(false);
    const int fittingRows = std::max(1, (kPageOrigin.y() - 2) / MinimumRowHeight(fontMetrics()));
    if (natural.rowCount <= fittingRows) {
        return natural;
    }
    Layout compact = computeLayout(true);
    return compact.rowCount < natural.rowCount ? compact : natural;
}

// Fills rows left to right in tab order, wrapping when the next tab does not fit. With more
// than one row every row is stretched to the full width. Rows are stacked above the page
// area, the row of the selected tab lowest, the others following it in rotation.
CMyTab::Layout CMyTab::computeLayout(bool compact) const {
    Layout result;
    const int available = std::max(1, width() - 2 * kRowMargin);
    std::vector<std::vector<int>> rows;
    std::vector<int> widths;
    int rowHeight = naturalTabSize(QStringLiteral(" "), compact).height();
    int x = 0;
    for (int i = 0; i < tabCount(); ++i) {
        const QSize natural = naturalTabSize(caption(i), compact);
        const int tabWidth = std::min(natural.width(), available);
        rowHeight = std::max(rowHeight, natural.height());
        if (rows.empty() || (x > 0 && x + tabWidth > available)) {
            rows.emplace_back();
            x = 0;
        }
        rows.back().push_back(i);
        widths.push_back(tabWidth);
        x += tabWidth;
    }

    result.rowCount = static_cast<int>(rows.size());
    const int stackedRows = std::max(1, result.rowCount);
    // The pages start at a fixed origin; squeeze the rows rather than run under the pages.
    const int tabBand = kPageOrigin.y() - 2;
    if (stackedRows * rowHeight > tabBand) {
        rowHeight = std::max(MinimumRowHeight(fontMetrics()), tabBand / stackedRows);
    }
    result.paneTop = stackedRows * rowHeight;
    result.rects.resize(widths.size());
    result.rows.resize(widths.size());

    int selectedRow = 0;
    for (int r = 0; r < result.rowCount; ++r) {
        const auto& row = rows[static_cast<std::size_t>(r)];
        if (std::find(row.begin(), row.end(), current_) != row.end()) {
            selectedRow = r;
        }
    }

    for (int r = 0; r < result.rowCount; ++r) {
        const auto& row = rows[static_cast<std::size_t>(r)];
        const int placeFromBottom = (r - selectedRow + result.rowCount) % result.rowCount;
        const int top = result.paneTop - (placeFromBottom + 1) * rowHeight;
        int used = 0;
        for (int index : row) {
            used += widths[static_cast<std::size_t>(index)];
        }
        const int count = static_cast<int>(row.size());
        const int spare = result.rowCount > 1 ? std::max(0, available - used) : 0;
        int left = kRowMargin;
        for (int k = 0; k < count; ++k) {
            const auto index = static_cast<std::size_t>(row[static_cast<std::size_t>(k)]);
            // Spread the spare pixels evenly, the remainder going to the last tabs.
            const int extra = spare / count + (k >= count - spare % count ? 1 : 0);
            const int tabWidth = widths[index] + extra;
            result.rects[index] = QRect(left, top, tabWidth, rowHeight);
            result.rows[index] = r;
            left += tabWidth;
        }
    }
    return result;
}

int CMyTab::tabAt(const QPoint& position) const {
    // The selected tab is drawn over its neighbours, so it wins where they overlap.
    if (tabRect(current_).contains(position)) {
        return current_;
    }
    for (int i = 0; i < tabCount(); ++i) {
        if (tabRect(i).contains(position)) {
            return i;
        }
    }
    return -1;
}

void CMyTab::paintEvent(QPaintEvent*) {
    const Layout& geometry = layout();
    QPainter painter(this);

    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.shape = QTabBar::RoundedNorth;
    frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    frame.rect = QRect(0, geometry.paneTop, width(), height() - geometry.paneTop);
    frame.tabBarRect = QRect(0, 0, width(), geometry.paneTop);
    frame.tabBarSize = frame.tabBarRect.size();
    frame.selectedTabRect = tabRect(current_);
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);

    auto drawTab = [&](int index) {
        QStyleOptionTab option;
        option.initFrom(this);
        option.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
        option.shape = QTabBar::RoundedNorth;
        option.text = caption(index);
        option.rect = tabRect(index);
        const int row = rowOf(index);
        const bool firstInRow = index == 0 || rowOf(index - 1) != row;
        const bool lastInRow = index == tabCount() - 1 || rowOf(index + 1) != row;
        if (firstInRow && lastInRow) {
            option.position = QStyleOptionTab::OnlyOneTab;
        } else if (firstInRow) {
            option.position = QStyleOptionTab::Beginning;
        } else if (lastInRow) {
            option.position = QStyleOptionTab::End;
        } else {
            option.position = QStyleOptionTab::Middle;
        }
        if (!firstInRow && current_ == index - 1) {
            option.selectedPosition = QStyleOptionTab::PreviousIsSelected;
        } else if (!lastInRow && current_ == index + 1) {
            option.selectedPosition = QStyleOptionTab::NextIsSelected;
        }
        if (index == current_) {
            option.state |= QStyle::State_Selected;
            if (hasFocus()) {
                option.state |= QStyle::State_HasFocus;
            }
        }
        const QPoint cursor = mapFromGlobal(QCursor::pos());
        if (underMouse() && option.rect.contains(cursor)) {
            option.state |= QStyle::State_MouseOver;
        }
        // The shape comes from the style; the caption is centred by hand because the style's
        // label keeps its own padding, which compact tabs do not have room for.
        // The style may paint a selected tab's shape well below the tab, where a tab bar
        // would end; here that is the page area, so the shape stays within the tab.
        painter.save();
        painter.setClipRect(option.rect.adjusted(-1, -1, 1, 1));
        style()->drawControl(QStyle::CE_TabBarTabShape, &option, &painter, this);
        painter.restore();
        QRect textRect = option.rect;
        if (index != current_) {
            textRect.translate(
                style()->pixelMetric(QStyle::PM_TabBarTabShiftHorizontal, &option, this),
                style()->pixelMetric(QStyle::PM_TabBarTabShiftVertical, &option, this));
        }
        const QString text =
            fontMetrics().elidedText(option.text, Qt::ElideRight, textRect.width() - 2);
        style()->drawItemText(&painter, textRect, Qt::AlignCenter | Qt::TextShowMnemonic,
                              option.palette, isEnabled(), text, QPalette::WindowText);
        if (option.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = textRect.adjusted(2, 2, -2, -2);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
        }
    };
    for (int i = 0; i < tabCount(); ++i) {
        if (i != current_) {
            drawTab(i);
        }
    }
    if (current_ >= 0) {
        drawTab(current_);
    }
}

void CMyTab::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const int index = tabAt(event->position().toPoint());
        if (index >= 0) {
            setCurrentIndex(index);
            event->accept();
            return;
        }
    }
    QWidget::mousePressEvent(event);
}

void CMyTab::keyPressEvent(QKeyEvent* event) {
    int target = -1;
    switch (event->key()) {
    case Qt::Key_Left:
        target = current_ - 1;
        break;
    case Qt::Key_Right:
        target = current_ + 1;
        break;
    case Qt::Key_Home:
        target = 0;
        break;
    case Qt::Key_End:
        target = tabCount() - 1;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    setCurrentIndex(target);
    event->accept();
}

void CMyTab::notifyAccessibility(int event, int child) {
    if (!QAccessible::isActive()) {
        return;
    }
    QAccessibleEvent accessibleEvent(this, static_cast<QAccessible::Event>(event));
    if (child >= 0) {
        accessibleEvent.setChild(child);
    }
    QAccessible::updateAccessibility(&accessibleEvent);
}
