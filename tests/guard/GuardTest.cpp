#include "guard/DescriptorReserve.h"
#include "guard/Descriptors.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

// Death-test children report a failed check on standard error and exit 1.
#define CHILD_CHECK(condition)                                                                                         \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "failed: %s (line %d)\n", #condition, __LINE__);                                      \
            std::_Exit(1);                                                                                             \
        }                                                                                                              \
    } while (false)

bool isOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) >= 0;
}

void lowerLimitTo(int limit)
{
    rlimit l {};
    CHILD_CHECK(::getrlimit(RLIMIT_NOFILE, &l) == 0);
    l.rlim_cur = static_cast<rlim_t>(limit);
    CHILD_CHECK(::setrlimit(RLIMIT_NOFILE, &l) == 0);
}

// Opens every number still free below the limit, so that nothing is left.
void takeTheRest()
{
    while (::open("/dev/null", O_RDONLY) >= 0) {}
}

} // namespace

// The count is what the limit allows now, gaps below open descriptors
// included, and leaves nothing open behind it.
TEST(Descriptors, CountsWhatTheCurrentLimitLeavesAndKeepsNothing)
{
    EXPECT_EXIT(
        {
            const int gap = ::open("/dev/null", O_RDONLY);
            CHILD_CHECK(gap >= 0 && ::open("/dev/null", O_RDONLY) > gap);
            ::close(gap);
            int highest = 0;
            for (int fd = 0; fd < 4096; ++fd)
                highest = isOpen(fd) ? fd : highest;
            lowerLimitTo(highest + 4);
            int free = 0;
            for (int fd = 0; fd < highest + 4; ++fd)
                free += isOpen(fd) ? 0 : 1;
            CHILD_CHECK(free >= 4); // the gap and the three above the highest
            CHILD_CHECK(Descriptors::freeUpTo(1000) == free);
            CHILD_CHECK(Descriptors::freeUpTo(2) == 2);
            CHILD_CHECK(!isOpen(gap) && !isOpen(highest + 1));
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

// At the limit the spares are what the error box gets: the lease frees
// them, they are the lowest numbers, and it takes them back.
TEST(DescriptorReserve, AtTheLimitTheLeaseHandsOverTheSparesAndTakesThemBack)
{
    EXPECT_EXIT(
        {
            DescriptorReserve reserve;
            reserve.fill(DescriptorReserve::kForErrorBox);
            CHILD_CHECK(reserve.held() == DescriptorReserve::kForErrorBox);
            lowerLimitTo(64);
            takeTheRest();
            {
                const DescriptorReserve::Lease lease(reserve);
                CHILD_CHECK(lease.enough());
                CHILD_CHECK(reserve.held() == 0);
                CHILD_CHECK(Descriptors::freeUpTo(10) == DescriptorReserve::kForErrorBox);
            }
            CHILD_CHECK(reserve.held() == DescriptorReserve::kForErrorBox);
            CHILD_CHECK(Descriptors::freeUpTo(10) == 0);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

// A limit lowered below the spares' numbers leaves them useless: the lease
// says so, and fills the reserve again once the limit allows.
TEST(DescriptorReserve, BelowTheSparesNumbersTheLeaseSaysTheBoxCannotHaveThem)
{
    EXPECT_EXIT(
        {
            DescriptorReserve reserve;
            reserve.fill(DescriptorReserve::kForErrorBox);
            // The standard three take every number the limit allows; the
            // spares lie above it.
            CHILD_CHECK(isOpen(0) && isOpen(1) && isOpen(2));
            lowerLimitTo(3);
            {
                const DescriptorReserve::Lease lease(reserve);
                CHILD_CHECK(!lease.enough());
                lowerLimitTo(1024);
            }
            CHILD_CHECK(reserve.held() == DescriptorReserve::kForErrorBox);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}
