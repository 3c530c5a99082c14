#include "ui/MainWindowFields.h"

#include "guard/DescriptorReserve.h"
#include "guard/MemoryReserve.h"
#include "ui/DialogUnits.h"
#include "ui/MainWindowTemplate.h"
#include "ui/PeerListBox.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidgetItem>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdio>

namespace {

QWidget* createControl(const MainWindowTemplate::Control& c, QWidget& parent)
{
    using K = MainWindowTemplate::Kind;
    const QString caption = QString::fromUtf8(c.caption);
    switch (c.kind) {
    case K::MultiLineEdit: {
        auto* edit = new QPlainTextEdit(&parent);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        edit->setTabChangesFocus(true);
        edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        return edit;
    }
    case K::LineEdit:
        return new QLineEdit(&parent);
    case K::ReadOnlyLineEdit: {
        auto* edit = new QLineEdit(&parent);
        edit->setReadOnly(true);
        return edit;
    }
    case K::PushButton: {
        auto* button = new QPushButton(caption, &parent);
        // Enter is the window's to handle; no button turns default by itself.
        button->setAutoDefault(false);
        button->setDefault(false);
        return button;
    }
    case K::CheckBox:
        return new QCheckBox(caption, &parent);
    case K::Label: {
        auto* label = new QLabel(caption, &parent);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case K::ListBox: {
        return new PeerListBox(&parent);
    }
    }
    return nullptr;
}

// The button that takes over when a start or stop button disables itself.
int partnerOf(int id)
{
    switch (id) {
    case IDC_SERVER_START:
        return IDC_SERVER_STOP;
    case IDC_SERVER_STOP:
        return IDC_SERVER_START;
    case IDC_CLIENT_START:
        return IDC_CLIENT_STOP;
    case IDC_CLIENT_STOP:
        return IDC_CLIENT_START;
    default:
        return 0;
    }
}

} // namespace

MainWindowFields::MainWindowFields(QWidget& window)
    : m_window(window)
    , m_font(DialogUnits::standInFont(
          QString::fromUtf8(MainWindowTemplate::kFontFamily), MainWindowTemplate::kFontPointSize))
{
    m_window.setFont(m_font);
    // Creation order is the template order, which Qt takes as the tab order.
    for (const auto* c = MainWindowTemplate::begin(); c != MainWindowTemplate::end(); ++c) {
        QWidget* widget = createControl(*c, m_window);
        widget->setObjectName(c->id >= 0 ? QStringLiteral("control%1").arg(c->id) : QStringLiteral("label"));
        widget->setEnabled(!c->initiallyDisabled);
        if (*c->accessibleName)
            widget->setAccessibleName(QString::fromUtf8(c->accessibleName));
        m_inTemplateOrder.append(widget);
        if (c->id >= 0)
            m_controls.insert(c->id, widget);
    }
    // A field takes its spoken name from the label beside it.
    const MainWindowTemplate::Control* c = MainWindowTemplate::begin();
    for (QWidget* widget : m_inTemplateOrder) {
        if (auto* label = qobject_cast<QLabel*>(widget); label && c->buddy)
            label->setBuddy(control(c->buddy));
        ++c;
    }
    layOut();

    const QAbstractItemModel* model = peerList()->model();
    QObject::connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, &m_peerIndexContext,
        [this](const QModelIndex&, int first, int last) { indexPeers(first, last, -1); });
    QObject::connect(model, &QAbstractItemModel::modelReset, &m_peerIndexContext, [this] {
        m_peerIndex.clear();
        indexPeers(0, peerCount() - 1, +1);
    });
}

void MainWindowFields::indexPeers(int first, int last, int change)
{
    const PeerListBox* list = peerList();
    for (int row = first; row <= last; ++row) {
        const QTableWidgetItem* item = list->item(row, 0);
        if (!item)
            continue;
        int& count = m_peerIndex[item->text()];
        count += change;
        if (count <= 0)
            m_peerIndex.remove(item->text());
    }
}

void MainWindowFields::layOut()
{
    const DialogUnits units(m_font);
    const MainWindowTemplate::Control* c = MainWindowTemplate::begin();
    for (QWidget* widget : m_inTemplateOrder) {
        widget->setGeometry(units.toPixels(c->x, c->y, c->width, c->height));
        ++c;
    }
    m_window.setFixedSize(units.toPixels(MainWindowTemplate::kWidth, MainWindowTemplate::kHeight));
}

QWidget* MainWindowFields::control(int id) const
{
    return m_controls.value(id, nullptr);
}

QPlainTextEdit* MainWindowFields::log(ControlId id) const
{
    return qobject_cast<QPlainTextEdit*>(control(id));
}

PeerListBox* MainWindowFields::peerList() const
{
    return qobject_cast<PeerListBox*>(control(IDC_PEER_LIST));
}

QCheckBox* MainWindowFields::echoBox() const
{
    return qobject_cast<QCheckBox*>(control(IDC_ECHO));
}

QString MainWindowFields::text(int id) const
{
    QWidget* widget = control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
        return edit->toPlainText();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    return QString();
}

void MainWindowFields::setText(int id, const QString& text)
{
    QWidget* widget = control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        edit->setText(text);
    else if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
        edit->setPlainText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(text);
}

void MainWindowFields::appendLog(ControlId id, const QString& text)
{
    QPlainTextEdit* edit = log(id);
    if (!edit)
        return;
    QTextDocument* document = edit->document();
    // Appending in place instead of replacing the whole text keeps the cost
    // independent of the log's size. Like replacing the text, it leaves
    // nothing to undo, and the undo history never grows with the log.
    document->setUndoRedoEnabled(false);
    QTextCursor end(document);
    end.movePosition(QTextCursor::End);
    // Inside an edit block the cursor does not lay out the new line to find
    // its own x position, which nothing here uses; that shaping was a third
    // of the append.
    end.beginEditBlock();
    end.insertText(QStringLiteral("\n") + text);
    end.endEditBlock();
    document->setUndoRedoEnabled(true);

    // Setting the caret, even to where it already is, makes the edit scroll
    // to it and repaint the whole view, which nearly doubled the time of an
    // append with its repaint. So only a caret the user moved is put back.
    const QTextCursor caret = edit->textCursor();
    if (caret.position() != 0 || caret.hasSelection())
        edit->setTextCursor(QTextCursor(document));
    edit->verticalScrollBar()->setValue(0);
    edit->horizontalScrollBar()->setValue(0);
}

void MainWindowFields::peerRegister(const QString& entry)
{
    // Whole-text match: 10.0.0.5:4000 and 10.0.0.5:40001 are two senders.
    if (m_peerIndex.contains(entry))
        return;
    PeerListBox* list = peerList();
    const int row = list->rowCount();
    list->insertRow(row);
    list->setItem(row, 0, new QTableWidgetItem(entry));
    // A table's new row is empty when the model announces it; the text is
    // indexed once it stands in the row.
    indexPeers(row, row, +1);
}

int MainWindowFields::peerCount() const
{
    return peerList()->rowCount();
}

int MainWindowFields::peerSelection() const
{
    const QModelIndexList selected = peerList()->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

QString MainWindowFields::peerText(int index) const
{
    const QTableWidgetItem* item = peerList()->item(index, 0);
    return item ? item->text() : QString();
}

void MainWindowFields::peerDelete(int index)
{
    PeerListBox* list = peerList();
    if (index < 0 || index >= list->rowCount())
        return;
    const bool wasSelected = list->selectionModel()->isRowSelected(index, QModelIndex());
    list->removeRow(index);
    // The view would otherwise move the selection to a neighbour.
    if (wasSelected) {
        list->clearSelection();
        list->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
}

void MainWindowFields::enableButton(int id, bool on)
{
    QWidget* widget = control(id);
    if (!widget)
        return;
    if (on) {
        widget->setEnabled(true);
        if (m_focusAwaits == id)
            widget->setFocus(Qt::OtherFocusReason);
        m_focusAwaits = 0;
        return;
    }
    // A focused start or stop button that disables itself hands the focus to
    // its partner, never on along the tab order where the next control (the
    // client's send) would fire on one more Enter. The partner is enabled
    // just after, so the focus waits for it.
    m_focusAwaits = 0;
    const int partner = partnerOf(id);
    if (partner && widget->window()->focusWidget() == widget) {
        if (QWidget* other = control(partner); other->isEnabled())
            other->setFocus(Qt::OtherFocusReason);
        else
            m_focusAwaits = partner;
    }
    widget->setEnabled(false);
}

void MainWindowFields::showError(const QString& text)
{
    // Out of descriptors the box could not be drawn without the spares, and
    // out of memory Qt would crash making it; with no memory to give, this
    // throws std::bad_alloc and the failed Start is abandoned unreported.
    const MemoryReserve::Lease room(MemoryReserve::instance());
    const DescriptorReserve::Lease spares(DescriptorReserve::instance());
    // A limit lowered below the spares' numbers leaves them useless: a box
    // that cannot get its descriptors is mapped, never drawn, and blocks the
    // window for good. The message goes where it can still be read.
    if (!spares.enough()) {
        std::fprintf(stderr, "quorlin: %s (too few file descriptors to show it)\n", text.toLocal8Bit().constData());
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok, &m_window);
    box.exec();
}
