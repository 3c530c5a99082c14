#include "ui/DescriptorReserve.h"

#include <fcntl.h>
#include <unistd.h>

DescriptorReserve& DescriptorReserve::instance()
{
    static DescriptorReserve reserve;
    return reserve;
}

DescriptorReserve::~DescriptorReserve()
{
    release();
}

void DescriptorReserve::fill(int count)
{
    m_wanted = count;
    m_spares.reserve(static_cast<std::size_t>(count));
    while (held() < count) {
        const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return;
        m_spares.push_back(fd);
    }
}

void DescriptorReserve::release()
{
    for (const int fd : m_spares)
        ::close(fd);
    m_spares.clear();
}

DescriptorReserve::Lease::Lease(DescriptorReserve& reserve)
    : m_reserve(reserve)
    , m_wanted(reserve.m_wanted)
{
    m_reserve.release();
}

DescriptorReserve::Lease::~Lease()
{
    m_reserve.fill(m_wanted);
}
