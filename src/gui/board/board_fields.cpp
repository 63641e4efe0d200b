#include "gui/board/board_fields.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>

#include <algorithm>

namespace tolvana {

namespace {

// Space between two fields (60 twips) and a field's raised edge.
constexpr int kGap = 4;
constexpr int kEdge = 1;
// Text keeps this far from a field's edge.
constexpr int kTextMargin = 3;

} // namespace

BoardFields::BoardFields(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

void BoardFields::setLayout(int columns, int rows, int boardSizeIndex) {
    cancelDrag();
    m_columns = std::max(columns, 1);
    m_rows = std::max(rows, 1);
    m_looks.assign(static_cast<std::size_t>(fieldCount()), fieldLookOfEmpty());
    m_fieldFont = fieldFont(boardSizeIndex, font());
    m_namedFont = namedFieldFont(font());
    m_current = std::min(m_current, fieldCount() - 1);
    m_hovered = -1;
    recomputeGeometry();
    updateGeometry();
    update();
}

FieldLook BoardFields::fieldLookOfEmpty() {
    return FieldLook{FieldKind::Empty, {}, kFieldSilver, kFieldEmptyLight};
}

void BoardFields::setLook(int field, const FieldLook& look) {
    FieldLook& slot = m_looks.at(static_cast<std::size_t>(field));
    if (slot == look) {
        return;
    }
    slot = look;
    updateField(field);
}

QRect BoardFields::fieldRect(int field) const {
    const int column = field / m_rows;
    const int row = field % m_rows;
    return QRect(kGap / 2 + column * (m_fieldWidth + kGap), kGap / 2 + row * (m_fieldHeight + kGap),
                 m_fieldWidth, m_fieldHeight);
}

int BoardFields::fieldAt(QPoint pos) const {
    if (pos.x() < 0 || pos.y() < 0 || m_fieldWidth <= 0 || m_fieldHeight <= 0) {
        return -1;
    }
    const int column = pos.x() / (m_fieldWidth + kGap);
    const int row = pos.y() / (m_fieldHeight + kGap);
    if (column >= m_columns || row >= m_rows) {
        return -1;
    }
    return column * m_rows + row;
}

void BoardFields::setCurrentField(int field) {
    if (field == m_current) {
        return;
    }
    const int old = m_current;
    m_current = field;
    if (hasFocus()) {
        updateField(old);
        updateField(field);
    }
}

QSize BoardFields::sizeHint() const {
    return QSize(m_columns * 96, m_rows * 26);
}

QSize BoardFields::minimumSizeHint() const {
    return QSize(m_columns * 40, m_rows * 14);
}

void BoardFields::recomputeGeometry() {
    if (m_columns <= 0 || m_rows <= 0) {
        return;
    }
    m_fieldWidth = std::max(width() / m_columns - kGap, 1);
    m_fieldHeight = std::max(height() / m_rows - kGap, 1);
}

void BoardFields::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    recomputeGeometry();
}

void BoardFields::updateField(int field) {
    if (field >= 0 && field < fieldCount()) {
        // The focus and drop frames reach one pixel beyond the field.
        update(fieldRect(field).adjusted(-kGap / 2, -kGap / 2, kGap / 2, kGap / 2));
    }
}

void BoardFields::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().window());
    if (m_fieldWidth <= 0) {
        return;
    }
    const QRect dirty = event->rect();
    // Only the columns and rows the dirty rectangle touches.
    const int stepX = m_fieldWidth + kGap;
    const int stepY = m_fieldHeight + kGap;
    const int firstColumn = std::max(dirty.left() / stepX, 0);
    const int lastColumn = std::min(dirty.right() / stepX, m_columns - 1);
    const int firstRow = std::max(dirty.top() / stepY, 0);
    const int lastRow = std::min(dirty.bottom() / stepY, m_rows - 1);
    for (int column = firstColumn; column <= lastColumn; ++column) {
        for (int row = firstRow; row <= lastRow; ++row) {
            paintField(painter, column * m_rows + row);
        }
    }
}

void BoardFields::paintField(QPainter& painter, int field) const {
    const FieldLook& look = m_looks[static_cast<std::size_t>(field)];
    const QRect r = fieldRect(field);
    ++m_fieldsPainted;

    painter.fillRect(r, look.fill);
    if (look.kind == FieldKind::VehicleWithoutColour) {
        // No colour for this status: hatched grey, never mistaken for one.
        painter.fillRect(r, QBrush(kFieldHatch, Qt::BDiagPattern));
    }
    // A raised edge: light above and to the left, dark below and to the right.
    painter.setPen(look.second);
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(look.fill.darker(160));
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());

    if (!look.text.isEmpty()) {
        const bool named = look.kind == FieldKind::Named;
        const QRect textRect = r.adjusted(kTextMargin, kEdge, -kTextMargin, -kEdge);
        painter.setFont(fittedFieldFont(named ? m_namedFont : m_fieldFont, textRect, look.text));
        painter.setPen(named ? QColor(Qt::black) : textColourOn(look.fill));
        painter.save();
        painter.setClipRect(r);
        painter.drawText(textRect, Qt::AlignCenter | Qt::TextWordWrap, look.text);
        painter.restore();
    }

    if (field == m_dropTarget && field != m_dragSource) {
        painter.setPen(QPen(palette().highlight().color(), 2));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
    } else if (field == m_dragSource) {
        painter.setPen(QPen(palette().highlight().color(), 1, Qt::DashLine));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
    } else if (field == m_current && hasFocus()) {
        painter.setPen(QPen(palette().windowText().color(), 1, Qt::DotLine));
        painter.drawRect(r.adjusted(1, 1, -2, -2));
    }
}

void BoardFields::mousePressEvent(QMouseEvent* event) {
    const int field = fieldAt(event->position().toPoint());
    if (field < 0) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    if (field != m_current) {
        setCurrentField(field);
        emit fieldHovered(field);
    }
    if (event->button() == Qt::LeftButton) {
        m_dragSource = field;
        m_dropTarget = field;
        updateField(field);
    } else if (event->button() == Qt::RightButton) {
        emit editRequested(field);
    }
    event->accept();
}

void BoardFields::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (m_dragSource >= 0) {
        const int target = rect().contains(pos) ? fieldAt(pos) : -1;
        setDropTarget(target);
        setCursor(target == m_dragSource ? Qt::ArrowCursor : Qt::DragMoveCursor);
        emit dragMoved(mapToGlobal(pos));
        return;
    }
    const int field = fieldAt(pos);
    if (field >= 0 && field != m_hovered) {
        m_hovered = field;
        setCurrentField(field);
        emit fieldHovered(field);
    }
}

void BoardFields::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_dragSource < 0) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const int source = m_dragSource;
    cancelDrag();
    emit dropped(source, mapToGlobal(event->position().toPoint()));
}

void BoardFields::setDropTarget(int field) {
    if (field == m_dropTarget) {
        return;
    }
    const int old = m_dropTarget;
    m_dropTarget = field;
    updateField(old);
    updateField(field);
}

void BoardFields::cancelDrag() {
    if (m_dragSource < 0) {
        return;
    }
    const int source = m_dragSource;
    m_dragSource = -1;
    setDropTarget(-1);
    updateField(source);
    unsetCursor();
}

void BoardFields::keyPressEvent(QKeyEvent* event) {
    if (m_dragSource >= 0 && event->key() == Qt::Key_Escape) {
        cancelDrag();
        emit dragCancelled();
        return;
    }
    if (event->modifiers() & Qt::ControlModifier) {
        if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
            emit pageStepRequested(event->key() == Qt::Key_PageUp ? -1 : 1);
            return;
        }
    }
    const int count = fieldCount();
    if (count == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int current = m_current < 0 ? 0 : m_current;
    int next = -1;
    switch (event->key()) {
    case Qt::Key_Up:
        next = current % m_rows > 0 ? current - 1 : current;
        break;
    case Qt::Key_Down:
        next = current % m_rows < m_rows - 1 ? current + 1 : current;
        break;
    case Qt::Key_Left:
        next = current >= m_rows ? current - m_rows : current;
        break;
    case Qt::Key_Right:
        next = current + m_rows < count ? current + m_rows : current;
        break;
    case Qt::Key_Home:
        next = 0;
        break;
    case Qt::Key_End:
        next = count - 1;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F2:
    case Qt::Key_Menu:
        if (m_current >= 0) {
            emit editRequested(m_current);
        }
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (next != m_current) {
        setCurrentField(next);
        emit fieldChosen(next);
    }
}

void BoardFields::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (m_current < 0 && fieldCount() > 0) {
        m_current = 0;
        emit fieldChosen(0);
    }
    updateField(m_current);
}

void BoardFields::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    if (m_dragSource >= 0) {
        cancelDrag();
        emit dragCancelled();
    }
    updateField(m_current);
}

} // namespace tolvana
