// The fields of one board page, painted by one widget: columns x rows
// fields, numbered down the columns (field i in column i / rows, row
// i % rows). Pressing the left button on a field starts dragging it; the
// release says where it went. The right button, Enter or F2 edit a field;
// the arrow keys move between fields.
#pragma once

#include <QFont>
#include <QWidget>

#include <vector>

#include "gui/board/field_look.h"

namespace tolvana {

class BoardFields final : public QWidget {
    Q_OBJECT
public:
    explicit BoardFields(QWidget* parent = nullptr);

    /// A page of columns x rows fields, all empty; fonts by the board size.
    void setLayout(int columns, int rows, int boardSizeIndex);
    int columns() const { return m_columns; }
    int rows() const { return m_rows; }
    int fieldCount() const { return m_columns * m_rows; }

    /// Sets the look of one field and repaints it.
    void setLook(int field, const FieldLook& look);
    const FieldLook& look(int field) const { return m_looks.at(static_cast<std::size_t>(field)); }

    /// Where field `field` is painted, in this widget's coordinates.
    QRect fieldRect(int field) const;
    /// The field at `pos`, the gap after a field counting to it; -1 outside.
    int fieldAt(QPoint pos) const;

    /// The field last pressed, hovered or chosen with the keyboard; -1 for none.
    int currentField() const { return m_current; }
    void setCurrentField(int field);
    /// The next pointer move reports its field even if it is the last one
    /// reported (the page under it changed).
    void forgetHover() { m_hovered = -1; }

    /// Paints whether the pointer, while dragging, is over a field.
    bool isDragging() const { return m_dragSource >= 0; }

    /// Fields painted since the widget was made (for measuring redraws).
    quint64 fieldsPainted() const { return m_fieldsPainted; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    /// The pointer moved over another field (not while dragging).
    void fieldHovered(int field);
    /// The keyboard chose another field.
    void fieldChosen(int field);
    /// The left button went up after a drag from `source`, at `globalPos`.
    void dropped(int source, QPoint globalPos);
    /// While dragging: the pointer is at `globalPos`.
    void dragMoved(QPoint globalPos);
    /// A drag ended without a drop (Escape, focus lost).
    void dragCancelled();
    void editRequested(int field);
    /// Ctrl+PageUp / Ctrl+PageDown: the previous (-1) or next (+1) page.
    void pageStepRequested(int step);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    static FieldLook fieldLookOfEmpty();
    void paintField(class QPainter& painter, int field) const;
    void updateField(int field);
    void setDropTarget(int field);
    void cancelDrag();
    void recomputeGeometry();

    int m_columns = 0;
    int m_rows = 0;
    int m_fieldWidth = 0;
    int m_fieldHeight = 0;
    std::vector<FieldLook> m_looks;
    QFont m_fieldFont;
    QFont m_namedFont;
    int m_current = -1;
    int m_hovered = -1;
    int m_dragSource = -1;
    int m_dropTarget = -1;
    mutable quint64 m_fieldsPainted = 0;
};

} // namespace tolvana
