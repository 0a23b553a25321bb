#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <vector>

// The settings tab control. Each tab carries the page it stands for, so the control itself
// hides the page of the tab being left and shows the page of the tab chosen. The pages are
// child widgets of the control placed at a fixed origin; the control never deletes them (the
// main window owns them) and hands any still parented to it back to no parent when it is
// destroyed.
//
// Tabs wrap onto as many rows as the width needs; the row holding the selected tab sits next
// to the page area, as on a multi-line tab control. Tabs are drawn by the widget style and
// appear to assistive technology as page tabs named by their captions.
class CMyTab : public QWidget {
    Q_OBJECT

public:
    static constexpr QPoint kPageOrigin{5, 63};

    explicit CMyTab(QWidget* parent = nullptr);
    ~CMyTab() override;

    // Appends a tab for the page, moves the page to the page origin keeping its size, and
    // shows it when it is the first tab, hides it otherwise.
    void AddTab(QWidget* page, const QString& caption);
    // Removes every tab; the pages are neither hidden nor shown.
    void DeleteAllTabs();

    int tabCount() const { return static_cast<int>(tabs_.size()); }
    int currentIndex() const { return current_; }
    // Selects a tab as a click on it does: hides the page of the tab left, shows the page of
    // the tab chosen. Selecting the current tab or an index without a tab does nothing.
    void setCurrentIndex(int index);
    QWidget* pageAt(int index) const;
    QString caption(int index) const;

    // Geometry of the tabs, in the control's coordinates.
    QRect tabRect(int index) const;
    int rowCount() const;
    int rowOf(int index) const;
    // Where the pages go: from the page origin to the inside of the control's frame.
    QRect pageArea() const;

signals:
    void currentChanged(int index);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Tab {
        QString caption;
        QPointer<QWidget> page;
    };
    struct Layout {
        std::vector<QRect> rects;
        std::vector<int> rows;
        int rowCount = 0;
        int paneTop = 0;
    };

    const Layout& layout() const;
    Layout computeLayout() const;
    Layout computeLayout(bool compact) const;
    QSize naturalTabSize(const QString& caption, bool compact) const;
    void invalidateLayout();
    int tabAt(const QPoint& position) const;
    void notifyAccessibility(int event, int child = -1);

    std::vector<Tab> tabs_;
    int current_ = -1;
    mutable bool layoutValid_ = false;
    mutable Layout layout_;
};
