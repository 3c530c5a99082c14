#include "app/CDatagramApp.h"
#include "app/DescriptorFloor.h"
#include "app/DisplayCheck.h"
#include "app/PlatformChoice.h"
#include "text/NarrowEncoding.h"
#include "ui/DescriptorReserve.h"
#include "ui/MemoryReserve.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Before Qt: the user's codeset, not whatever Qt puts in its place.
    NarrowEncoding::adoptLocale();
    PlatformChoice::apply(argc, argv);
    // Qt aborts on either; a line and a plain exit say more.
    for (const std::string& problem : { DisplayCheck::problem(DisplayCheck::current(argc, argv)),
             DescriptorFloor::problem(DescriptorFloor::kToStart + DescriptorReserve::kForErrorBox) }) {
        if (!problem.empty()) {
            std::fprintf(stderr, "%s\n", problem.c_str());
            return 1;
        }
    }
    DescriptorReserve::instance().fill(DescriptorReserve::kForErrorBox);
    (void)MemoryReserve::instance().fill(MemoryReserve::kForErrorBox);
    QApplication application(argc, argv);
    CDatagramApp app;
    app.InitInstance();
    return 0;
}
