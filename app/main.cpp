#include "app/CDatagramApp.h"
#include "app/PlatformChoice.h"
#include "net/NarrowEncoding.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // Before Qt: the user's codeset, not whatever Qt puts in its place.
    NarrowEncoding::adoptLocale();
    PlatformChoice::apply(argc, argv);
    QApplication application(argc, argv);
    CDatagramApp app;
    app.InitInstance();
    return 0;
}
