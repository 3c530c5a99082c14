#include "app/CDatagramApp.h"
#include "app/PlatformChoice.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    PlatformChoice::apply(argc, argv);
    QApplication application(argc, argv);
    CDatagramApp app;
    app.InitInstance();
    return 0;
}
