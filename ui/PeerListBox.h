#pragma once

#include <QTableWidget>

// The peer list: a single-selection list box of one-line entries that the
// user cannot empty. It is a one-column table with fixed row heights,
// because a list view lays every row out again after each insert and a
// table does not: appending costs the same at any length.
// Once an entry is selected, Ctrl+click and Ctrl+Space on it keep it
// selected, so the reply and the delete button always have a target; the
// program itself may still clear the selection. The keys move among the
// entries as in a list box: Home and End go to the first and last, and
// nothing moves within a row.
class PeerListBox : public QTableWidget {
    Q_OBJECT

public:
    explicit PeerListBox(QWidget* parent = nullptr);

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    QItemSelectionModel::SelectionFlags selectionCommand(
        const QModelIndex& index, const QEvent* event = nullptr) const override;
    void changeEvent(QEvent* event) override;

private:
    void fitRowHeight();
};
