#include "CDatagramApp.h"
#include "Version.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(QUORLIN_VERSION_STRING));
    CDatagramApp app;
    app.InitInstance();
    return 0;
}
