#include "PeerListBox.h"

PeerListBox::PeerListBox(QWidget* parent)
    : QListWidget(parent)
{ }

QItemSelectionModel::SelectionFlags PeerListBox::selectionCommand(const QModelIndex& index, const QEvent* event) const
{
    const QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
    // In single selection the only user action that deselects is the
    // control-modified toggle of the selected entry.
    if (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
        return QItemSelectionModel::NoUpdate;
    return command;
}
