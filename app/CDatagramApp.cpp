#include "CDatagramApp.h"

#include "CDatagramDlg.h"
#include "Strings.h"
#include "UdpSocket.h"

#include <QCoreApplication>
#include <QMessageBox>

bool CDatagramApp::InitInstance()
{
    if (!UdpSocket::startLayer()) {
        QMessageBox::warning(nullptr, QCoreApplication::applicationName(),
                             QString::fromUtf8(IDP_SOCKETS_INIT_FAILED_TEXT));
        return false;
    }
    CDatagramDlg dialog;
    dialog.exec();
    // Leaving this scope destroys the window after its receive threads have ended.
    return false;
}
