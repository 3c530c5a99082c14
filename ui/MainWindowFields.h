#pragma once

#include "net/ControlId.h"

#include <QFont>
#include <QHash>
#include <QObject>
#include <QString>
#include <QVector>

class QCheckBox;
class PeerListBox;
class QPlainTextEdit;
class QWidget;

// The main window's controls, built from the window template onto their
// parent, and what can be done to them. Window's thread only.
class MainWindowFields {
public:
    explicit MainWindowFields(QWidget& window);

    QWidget* control(int id) const;
    QPlainTextEdit* log(ControlId id) const;
    PeerListBox* peerList() const;
    QCheckBox* echoBox() const;
    // Positions every control (and sizes the window) from the template.
    void layOut();

    QString text(int id) const;
    void setText(int id, const QString& text);
    // Old text, a line break, the new text; the view and caret go back to
    // the first line. Costs in proportion to `text`, not to the log.
    void appendLog(ControlId id, const QString& text);
    // Appends the entry unless one with exactly this text is listed. Costs
    // the same however long the list is.
    void peerRegister(const QString& entry);
    int peerCount() const;
    int peerSelection() const;
    QString peerText(int index) const;
    void peerDelete(int index);
    void enableButton(int id, bool on);
    void showError(const QString& text);

private:
    void indexPeers(int first, int last, int change);

    QWidget& m_window;
    QFont m_font;
    QHash<int, QWidget*> m_controls;
    QVector<QWidget*> m_inTemplateOrder;
    // The button that takes the focus when it is next enabled, or 0.
    int m_focusAwaits = 0;
    // How often each text stands in the peer list. Rows come only through
    // peerRegister; removals follow the list's model, so every way rows go
    // keeps it true.
    QHash<QString, int> m_peerIndex;
    // Declared last: destroyed first, it cuts the model's signals off before
    // the index goes, while the list itself lives on until the window's end.
    QObject m_peerIndexContext;
};
