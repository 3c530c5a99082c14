#include "CDatagramApp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    CDatagramApp app;
    app.InitInstance();
    return 0;
}
