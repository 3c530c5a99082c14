#include "guard/DescriptorReserve.h"

#include "guard/Descriptors.h"

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
    std::vector<int> more = Descriptors::open(count - held());
    m_spares.insert(m_spares.end(), more.begin(), more.end());
}

void DescriptorReserve::release()
{
    Descriptors::close(m_spares);
}

DescriptorReserve::Lease::Lease(DescriptorReserve& reserve)
    : m_reserve(reserve)
    , m_wanted(reserve.m_wanted)
{
    m_reserve.release();
    m_enough = Descriptors::freeUpTo(m_wanted) >= m_wanted;
}

DescriptorReserve::Lease::~Lease()
{
    m_reserve.fill(m_wanted);
}
