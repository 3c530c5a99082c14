#include "ui/CDatagramDlg.h"

#include "res/Strings.h"
#include "ui/AppIcon.h"
#include "ui/CAboutDlg.h"
#include "ui/CommandTable.h"
#include "ui/MainWindowTemplate.h"
#include "ui/PeerListBox.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>

namespace {

// A top-level window of its own (not a transient dialog), so it gets its own
// task-bar entry; fixed frame with a minimise box and no maximise box.
// Qt's own Wayland title bar (qtwayland's bradient, up to 6.8 at least, used
// where the compositor draws no frame) reads none of these flags nor the
// fixed size: it always draws minimise, maximise and close.
constexpr Qt::WindowFlags kWindowFlags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                         | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                                         | Qt::WindowCloseButtonHint;

} // namespace

CDatagramDlg::CDatagramDlg(QWidget* parent)
    : QDialog(parent, kWindowFlags)
    , m_fields(*this)
    , m_serverOps(m_fields)
    , m_clientOps(m_fields)
    , m_server(m_serverOps)
    , m_client(m_clientOps)
    , m_hIcon(AppIcon::mainFrame())
{
    setWindowTitle(QString::fromUtf8(MainWindowTemplate::kCaption));
    for (const auto* row = CommandTable::begin(); row != CommandTable::end(); ++row) {
        if (row->message != CommandTable::Message::ButtonClicked)
            continue;
        const int id = row->control;
        if (auto* button = qobject_cast<QAbstractButton*>(control(id)))
            connect(button, &QAbstractButton::clicked, this,
                [this, id] { CommandTable::route(*this, CommandTable::Message::ButtonClicked, id); });
    }
    OnInitDialog();
}

void CDatagramDlg::OnInitDialog()
{
    const auto addCommand = [this](const QString& text, int command) {
        QAction* action = m_windowMenu->addAction(text);
        connect(action, &QAction::triggered, this,
            [this, command] { CommandTable::route(*this, CommandTable::Message::SysCommand, 0, command); });
        return action;
    };
    m_windowMenu = new QMenu(this);
    addCommand(QString::fromUtf8("最小化(&N)"), SC_MINIMIZE);
    // Named only: the window manager turns Alt+F4 into a close request.
    addCommand(QString::fromUtf8("关闭(&C)\tAlt+F4"), SC_CLOSE);
    const QString about = QString::fromUtf8(IDS_ABOUTBOX_TEXT);
    if (!about.isEmpty()) {
        m_windowMenu->addSeparator();
        QAction* aboutAction = addCommand(about, IDM_ABOUTBOX);
        // F1 as well: the window menu is easy to miss.
        aboutAction->setShortcut(QKeySequence(Qt::Key_F1));
        addAction(aboutAction);
    }
    // Reaches the program only where the window manager does not take it.
    auto* menuKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(menuKey, &QShortcut::activated, this, [this] { openWindowMenu(mapToGlobal(QPoint(0, 0))); });

    setWindowIcon(m_hIcon);
    // Shown first in the server log, the first control of the tab order.
    control(IDC_SERVER_LOG)->setFocus();
}

void CDatagramDlg::openWindowMenu(const QPoint& globalPos)
{
    m_windowMenu->popup(globalPos);
}

CDatagramDlg::~CDatagramDlg()
{
    endModalRun();
}

void CDatagramDlg::endModalRun()
{
    // Each stop releases a call its receive thread waits for, then joins it.
    m_server.stop();
    m_client.stop();
}

void CDatagramDlg::done(int result)
{
    endModalRun();
    QDialog::done(result);
}

void CDatagramDlg::setVisible(bool visible)
{
    // A minimised window stays visible to Qt, so showMinimized() and
    // showNormal() change nothing here; Qt 6.8 still sends them a
    // non-spontaneous show event, which alone cannot tell them apart.
    const bool wasOwn = m_ownShowHide;
    m_ownShowHide = visible != isVisible();
    QDialog::setVisible(visible);
    m_ownShowHide = wasOwn;
}

void CDatagramDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Only the program's own show, not a restore by the window manager.
    if (m_ownShowHide && !event->spontaneous())
        CommandTable::route(*this, CommandTable::Message::ShowWindow, 0);
}

void CDatagramDlg::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (m_ownShowHide && !event->spontaneous())
        CommandTable::route(*this, CommandTable::Message::ShowWindow, 0);
}

void CDatagramDlg::closeEvent(QCloseEvent* event)
{
    if (CommandTable::route(*this, CommandTable::Message::Close, 0))
        event->accept();
    else
        QDialog::closeEvent(event);
}

void CDatagramDlg::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
        QWidget* focus = focusWidget();
        if (auto* button = qobject_cast<QPushButton*>(focus)) {
            button->click();
            return;
        }
        if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QCheckBox*>(focus) || qobject_cast<PeerListBox*>(focus)) {
            accept();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

void CDatagramDlg::contextMenuEvent(QContextMenuEvent* event)
{
    // Controls with menus of their own (the text fields) have taken theirs;
    // a mouse click opens the window menu only on the background and labels.
    if (event->reason() == QContextMenuEvent::Mouse) {
        QWidget* under = childAt(event->pos());
        if (under && !qobject_cast<QLabel*>(under)) {
            event->ignore();
            return;
        }
    }
    openWindowMenu(event->globalPos());
}

void CDatagramDlg::OnSysCommand(int command)
{
    switch (command & ~0xF) {
    case IDM_ABOUTBOX: {
        CAboutDlg about(this);
        about.exec();
        break;
    }
    case SC_MINIMIZE:
        showMinimized();
        break;
    case SC_CLOSE:
        close();
        break;
    default:
        break;
    }
}

void CDatagramDlg::OnShowWindow()
{
    m_fields.setText(IDC_DEST_IP, QStringLiteral("127.0.0.1"));
    m_fields.setText(IDC_DEST_PORT, QStringLiteral("3456"));
    m_fields.setText(IDC_SERVER_IP, QStringLiteral("localhost"));
    m_fields.setText(IDC_SERVER_PORT, QStringLiteral("3456"));
}

void CDatagramDlg::OnServerStart()
{
    m_server.start();
}

void CDatagramDlg::OnServerStop()
{
    m_server.stop();
}

void CDatagramDlg::OnClientStart()
{
    m_client.start();
}

void CDatagramDlg::OnClientSend()
{
    m_client.send();
}

void CDatagramDlg::OnClientStop()
{
    m_client.stop();
}

void CDatagramDlg::OnClose()
{
    m_server.stop();
    m_client.stop();
    reject();
}

void CDatagramDlg::OnReplySend()
{
    m_server.sendReply();
}

void CDatagramDlg::OnPeerDelete()
{
    m_server.deleteSelectedPeer();
}

void CDatagramDlg::OnPeerDeleteAll()
{
    m_server.deleteAllPeers();
}
