#include "common/TextList.h"

#include <QEvent>
#include <QItemSelectionModel>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cstdlib>

TextList::TextList(const QString& objectName, QWidget* parent)
    : QAbstractItemView(parent)
    , m_model(new TextListModel(this))
{
    setObjectName(objectName);
    setSelectionMode(SingleSelection);
    setEditTriggers(NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setModel(m_model);
    // Rows that go or change move what lies below them.
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &TextList::rowsChanged);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, &TextList::rowsChanged);
    connect(m_model, &TextListModel::waitingChanged, this, [this](bool waiting) {
        if (waiting)
            viewport()->setCursor(Qt::BusyCursor);
        else
            viewport()->unsetCursor();
        if (!waiting && m_toEnd && m_model->complete()) {
            m_toEnd = false;
            if (const int rows = m_model->rowCount(); rows > 0)
                setCurrentRow(rows - 1);
        }
    });
}

int TextList::rowHeight() const
{
    if (m_rowHeight <= 0) {
        // Measured on a text of Latin letters and an ideograph: lists hold both, and a row of
        // either must fit the one height.
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        option.features |= QStyleOptionViewItem::HasDisplay;
        option.text = QStringLiteral("Ag国");
        m_rowHeight = std::max(1, style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this).height());
    }
    return m_rowHeight;
}

// The scroll bar counts rows, as a tree view's does: the top row is always whole.
int TextList::verticalOffset() const
{
    return verticalScrollBar()->value() * rowHeight();
}

int TextList::wholeRowsShown() const
{
    return std::max(1, viewport()->height() / rowHeight());
}

std::pair<int, int> TextList::rowsBetween(int top, int bottom) const
{
    const int rows = m_model->rowCount();
    const qint64 offset = verticalOffset();
    const int first = int(std::clamp<qint64>((offset + top) / rowHeight(), 0, rows));
    const int last = int(std::clamp<qint64>((offset + bottom) / rowHeight(), -1, rows - 1));
    return {first, last};
}

QRect TextList::visualRect(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != m_model)
        return {};
    const qint64 top = qint64(index.row()) * rowHeight() - verticalOffset();
    return {0, int(std::clamp<qint64>(top, -rowHeight() - 1, viewport()->height() + 1)), viewport()->width(),
            rowHeight()};
}

QModelIndex TextList::indexAt(const QPoint& point) const
{
    if (point.y() < 0)
        return {};
    const qint64 row = (qint64(point.y()) + verticalOffset()) / rowHeight();
    return row < m_model->rowCount() ? m_model->index(int(row), 0) : QModelIndex();
}

void TextList::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    if (!index.isValid())
        return;
    const int row = index.row();
    const int shown = wholeRowsShown();
    const int top = verticalScrollBar()->value();
    int to = top;
    switch (hint) {
    case PositionAtTop:
        to = row;
        break;
    case PositionAtBottom:
        to = row - shown + 1;
        break;
    case PositionAtCenter:
        to = row - (shown - 1) / 2;
        break;
    case EnsureVisible:
        if (row < top)
            to = row;
        else if (row >= top + shown)
            to = row - shown + 1;
        break;
    }
    verticalScrollBar()->setValue(std::clamp(to, 0, verticalScrollBar()->maximum()));
}

void TextList::keyboardSearch(const QString& search)
{
    if (!m_model->readsAgain())
        QAbstractItemView::keyboardSearch(search);
}

QModelIndex TextList::moveCursor(CursorAction action, Qt::KeyboardModifiers)
{
    const int rows = m_model->rowCount();
    if (rows == 0)
        return {};
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return m_model->index(0, 0);
    const int page = std::max(1, wholeRowsShown() - 1);
    int row = current.row();
    m_toEnd = false;
    switch (action) {
    case MoveUp:
    case MovePrevious:
        --row;
        break;
    case MoveDown:
    case MoveNext:
        ++row;
        break;
    case MovePageUp:
        row -= page;
        break;
    case MovePageDown:
        row += page;
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        // The end of the whole list, not of the rows read so far.
        if (!m_model->complete()) {
            m_toEnd = true;
            m_model->readToEnd();
        }
        row = rows - 1;
        break;
    case MoveLeft:
    case MoveRight:
        break;
    }
    return m_model->index(std::clamp(row, 0, rows - 1), 0);
}

void TextList::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command)
{
    const auto [first, last] = rowsBetween(std::min(rect.top(), rect.bottom()), std::max(rect.top(), rect.bottom()));
    QItemSelection selection;
    if (first <= last)
        selection.select(m_model->index(first, 0), m_model->index(last, 0));
    selectionModel()->select(selection, command);
}

QRegion TextList::visualRegionForSelection(const QItemSelection& selection) const
{
    QRegion region;
    const auto [first, last] = rowsBetween(0, viewport()->height());
    for (const QItemSelectionRange& range : selection) {
        const int top = std::max(range.top(), first), bottom = std::min(range.bottom(), last);
        if (top <= bottom)
            region += visualRect(m_model->index(top, 0)).united(visualRect(m_model->index(bottom, 0)));
    }
    return region;
}

void TextList::updateGeometries()
{
    QScrollBar* bar = verticalScrollBar();
    bar->setSingleStep(1);
    bar->setPageStep(wholeRowsShown());
    bar->setRange(0, std::max(0, m_model->rowCount() - wholeRowsShown()));
    // Last: it asks the model for more when the last row is in view.
    QAbstractItemView::updateGeometries();
}

void TextList::rowsInserted(const QModelIndex& parent, int start, int end)
{
    QAbstractItemView::rowsInserted(parent, start, end);
    rowsChanged();
}

void TextList::rowsChanged()
{
    updateGeometries();
    viewport()->update();
}

void TextList::scrollContentsBy(int, int dy)
{
    if (std::abs(dy) < wholeRowsShown())
        viewport()->scroll(0, dy * rowHeight());
    else
        viewport()->update();
}

void TextList::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QStyle::State state = option.state;
    const QModelIndex current = currentIndex();
    const bool focus = (hasFocus() || viewport()->hasFocus()) && current.isValid();
    // A row the bottom edge would cut is left out: the list shows whole rows only, and the
    // scroll bar brings that row up whole.
    const int lastWhole = (viewport()->height() / rowHeight()) - 1;
    const auto [first, last] = rowsBetween(event->rect().top(), std::min(event->rect().bottom(), (lastWhole + 1) * rowHeight() - 1));
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = m_model->index(row, 0);
        option.rect = visualRect(index);
        option.state = state;
        if (selectionModel()->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (focus && index == current)
            option.state |= QStyle::State_HasFocus;
        itemDelegateForIndex(index)->paint(&painter, option, index);
    }
}

void TextList::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        m_rowHeight = 0;
        updateGeometries();
    }
    QAbstractItemView::changeEvent(event);
}

void TextList::reset()
{
    QAbstractItemView::reset();
    verticalScrollBar()->setValue(0);
    rowsChanged();
}

void TextList::verticalScrollbarValueChanged(int value)
{
    m_model->release();
    QAbstractItemView::verticalScrollbarValueChanged(value);
}

void TextList::resizeEvent(QResizeEvent* event)
{
    m_model->release();
    QAbstractItemView::resizeEvent(event);
}

int TextList::currentRow() const
{
    return currentIndex().row();
}

void TextList::setCurrentRow(int row)
{
    setCurrentIndex(m_model->index(row, 0));
}

int TextList::selectedRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() && selectionModel()->isSelected(current) ? current.row() : -1;
}

bool TextList::hasSelection() const
{
    return selectionModel()->hasSelection();
}
