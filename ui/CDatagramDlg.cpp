#include "CDatagramDlg.h"

#include "CommandTable.h"
#include "MainWindowTemplate.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

CDatagramDlg::CDatagramDlg(QWidget* parent)
    : QDialog(parent)
    , m_fields(*this)
    , m_serverOps(m_fields)
    , m_clientOps(m_fields)
    , m_server(m_serverOps)
    , m_client(m_clientOps)
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
}

CDatagramDlg::~CDatagramDlg()
{
    endModalRun();
}

void CDatagramDlg::endModalRun()
{
    // Release any call a receive thread waits for before joining it.
    m_serverOps.endRun();
    m_clientOps.endRun();
    m_server.stop();
    m_client.stop();
}

void CDatagramDlg::done(int result)
{
    endModalRun();
    QDialog::done(result);
}

void CDatagramDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Only the program's own show, not a restore by the window manager.
    if (!event->spontaneous())
        CommandTable::route(*this, CommandTable::Message::ShowWindow, 0);
}

void CDatagramDlg::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
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
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        QWidget* focus = focusWidget();
        if (auto* button = qobject_cast<QPushButton*>(focus)) {
            button->click();
            return;
        }
        if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QCheckBox*>(focus) || qobject_cast<QListWidget*>(focus)) {
            accept();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

void CDatagramDlg::OnSysCommand(int command)
{
    switch (command & ~0xF) {
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
