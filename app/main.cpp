#include "app/CDatagramApp.h"
#include "app/DisplayOpening.h"
#include "app/PlatformChoice.h"
#include "guard/AddressSpaceFloor.h"
#include "guard/DescriptorFloor.h"
#include "guard/DescriptorReserve.h"
#include "guard/Descriptors.h"
#include "guard/MemoryReserve.h"
#include "text/NarrowEncoding.h"

#include <QApplication>

#include <cstdio>
#include <optional>

int main(int argc, char* argv[])
{
    // Before anything is opened, so that nothing opened takes 0, 1 or 2.
    Descriptors::openStandard();
    // Before Qt: the user's codeset, not whatever Qt puts in its place.
    NarrowEncoding::adoptLocale();
    PlatformChoice::apply(argc, argv);
    // Below these Qt aborts or waits for good; a line and a plain exit say more.
    std::string problem = DescriptorFloor::problem(DescriptorFloor::kToStart + DescriptorReserve::kForErrorBox);
    if (problem.empty())
        problem = AddressSpaceFloor::problem(AddressSpaceFloor::kToStartKiB);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    DescriptorReserve::instance().fill(DescriptorReserve::kForErrorBox);
    (void)MemoryReserve::instance().fill(MemoryReserve::kForErrorBox);
    std::optional<DisplayOpening> opening(std::in_place);
    QApplication application(argc, argv);
    opening.reset();
    CDatagramApp app;
    app.InitInstance();
    return 0;
}
