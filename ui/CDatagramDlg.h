#pragma once

#include "net/ClientEndpoint.h"
#include "net/ServerEndpoint.h"
#include "ui/MainWindowFields.h"
#include "ui/QtFieldOperations.h"

#include <QDialog>
#include <QIcon>

class QCloseEvent;
class QContextMenuEvent;
class QHideEvent;
class QKeyEvent;
class QMenu;
class QShowEvent;

// The main window: both UDP sides in one modal dialog. Owns the two
// endpoints; its handlers run on the window's thread and are reached
// through the command table.
class CDatagramDlg : public QDialog {
    Q_OBJECT

public:
    // Window-menu commands, as the window system numbers them.
    enum SysCommand { SC_MINIMIZE = 0xF020, SC_CLOSE = 0xF060, IDM_ABOUTBOX = 0x0010 };

    explicit CDatagramDlg(QWidget* parent = nullptr);
    ~CDatagramDlg() override;

    MainWindowFields& fields() { return m_fields; }
    const MainWindowFields& fields() const { return m_fields; }
    QWidget* control(int id) const { return m_fields.control(id); }
    const ServerEndpoint& server() const { return m_server; }
    const ClientEndpoint& client() const { return m_client; }

    // The window menu: Linux window managers keep their own, so the window
    // carries one with the same content that the program can extend.
    QMenu* windowMenu() const { return m_windowMenu; }
    void openWindowMenu(const QPoint& globalPos);

    void OnInitDialog();
    void OnSysCommand(int command);
    void OnShowWindow();
    void OnServerStart();
    void OnServerStop();
    void OnClientStart();
    void OnClientSend();
    void OnClientStop();
    void OnClose();
    void OnReplySend();
    void OnPeerDelete();
    void OnPeerDeleteAll();

    // Ends the modal run; the receive threads end with it.
    void done(int result) override;
    // Every show and hide the program makes comes through here.
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void endModalRun();

    // Declared before the endpoints: the endpoints stop their threads
    // through these when they are destroyed.
    MainWindowFields m_fields;
    QtFieldOperations m_serverOps;
    QtFieldOperations m_clientOps;
    ServerEndpoint m_server;
    ClientEndpoint m_client;
    QIcon m_hIcon;
    QMenu* m_windowMenu = nullptr;
    // Set while the program itself shows a hidden window or hides a shown one.
    bool m_ownShowHide = false;
};
