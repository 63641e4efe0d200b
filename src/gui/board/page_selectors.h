// The 30 page selectors of the board, in their own frame: three rows of ten,
// selector i in column i % 10 and row i / 10, each one tenth of the frame
// wide, captioned with the page's name. The selector of the current page is
// down. The left button (or Space) chooses a page, any other button (or F2)
// renames it.
#pragma once

#include <QFrame>
#include <QPushButton>

#include <array>

namespace tolvana {

class PageButton final : public QPushButton {
    Q_OBJECT
public:
    PageButton(int page, QWidget* parent);

    int page() const { return m_page; }
    /// The page's name; shown shortened with "…" when the button is too narrow.
    void setName(const QString& name);
    const QString& name() const { return m_name; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void chosen(int page);
    void renameRequested(int page);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void showName();

    int m_page;
    QString m_name;
};

class PageSelectors final : public QFrame {
    Q_OBJECT
public:
    static constexpr int kPages = 30;
    static constexpr int kPerRow = 10;

    explicit PageSelectors(QWidget* parent = nullptr);

    PageButton* button(int page) const { return m_buttons.at(static_cast<std::size_t>(page)); }
    /// Puts the selector of `page` down and all others up.
    void setCurrentPage(int page);
    void setName(int page, const QString& name);
    /// The page whose selector lies under `globalPos`; -1 for none.
    int pageAt(QPoint globalPos) const;
    /// Marks the selector a dragged vehicle would go to; -1 for none.
    void setDropTarget(int page);

signals:
    void pageChosen(int page);
    void renameRequested(int page);

private:
    std::array<PageButton*, kPages> m_buttons{};
    int m_dropTarget = -1;
};

} // namespace tolvana
