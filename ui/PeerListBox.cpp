#include "ui/PeerListBox.h"

#include <QEvent>
#include <QHeaderView>
#include <QStyle>
#include <QStyleOptionViewItem>

PeerListBox::PeerListBox(QWidget* parent)
    : QTableWidget(0, 1, parent)
{
    horizontalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    // Rows are never measured: every entry is one line of the list's font.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setShowGrid(false);
    setWordWrap(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the list, as it leaves any list box.
    setTabKeyNavigation(false);
    setSortingEnabled(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fitRowHeight();
}

QItemSelectionModel::SelectionFlags PeerListBox::selectionCommand(const QModelIndex& index, const QEvent* event) const
{
    const QItemSelectionModel::SelectionFlags command = QTableWidget::selectionCommand(index, event);
    // In single selection the only user action that deselects is the
    // control-modified toggle of the selected entry.
    if (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
        return QItemSelectionModel::NoUpdate;
    return command;
}

QModelIndex PeerListBox::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const int rows = model()->rowCount(rootIndex());
    switch (action) {
    case MoveHome:
    case MoveEnd:
        // A table keeps these within the row unless Ctrl is held.
        if (rows == 0)
            return QModelIndex();
        return model()->index(action == MoveHome ? 0 : rows - 1, 0, rootIndex());
    case MoveLeft:
    case MoveRight:
    case MoveNext:
    case MovePrevious:
        return currentIndex();
    default:
        // Up, Down, PageUp and PageDown already move a row or a page at a time.
        return QTableWidget::moveCursor(action, modifiers);
    }
}

void PeerListBox::changeEvent(QEvent* event)
{
    QTableWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitRowHeight();
}

void PeerListBox::fitRowHeight()
{
    // The height the style gives a one-line item, as a list box row has.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.features |= QStyleOptionViewItem::HasDisplay;
    option.text = QStringLiteral("0");
    const int height = style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this).height();
    verticalHeader()->setMinimumSectionSize(height);
    verticalHeader()->setDefaultSectionSize(height);
}
