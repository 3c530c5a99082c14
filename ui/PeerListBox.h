#pragma once

#include <QListWidget>

// The peer list: a single-selection list box that the user cannot empty.
// Once an entry is selected, Ctrl+click and Ctrl+Space on it keep it
// selected, so the reply and the delete button always have a target; the
// program itself may still clear the selection.
class PeerListBox : public QListWidget {
    Q_OBJECT

public:
    explicit PeerListBox(QWidget* parent = nullptr);

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(
        const QModelIndex& index, const QEvent* event = nullptr) const override;
};
