#include "app/CDatagramApp.h"

#include "net/UdpSocket.h"
#include "res/Strings.h"
#include "res/Version.h"
#include "ui/CDatagramDlg.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>

CDatagramApp::CDatagramApp()
{
    // Qt would take the name from the program file, which is lower case;
    // message-box captions and the X11 window class keep the product's name.
    QCoreApplication::setApplicationName(QStringLiteral(QUORLIN_APP_NAME));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORLIN_VERSION_STRING));
    // Ties the window to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUORLIN_APP_ID));
}

bool CDatagramApp::InitInstance()
{
    if (!UdpSocket::startLayer()) {
        QMessageBox::warning(
            nullptr, QCoreApplication::applicationName(), QString::fromUtf8(IDP_SOCKETS_INIT_FAILED_TEXT));
        return false;
    }
    CDatagramDlg dialog;
    dialog.exec();
    // Leaving this scope destroys the window after its receive threads have ended.
    return false;
}
