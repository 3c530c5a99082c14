#include "CDatagramApp.h"
#include "PlatformChoice.h"
#include "Version.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    PlatformChoice::apply(argc, argv);
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(QUORLIN_VERSION_STRING));
    // Ties the window to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("quorlin"));
    CDatagramApp app;
    app.InitInstance();
    return 0;
}
