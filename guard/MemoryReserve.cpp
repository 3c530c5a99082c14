#include "guard/MemoryReserve.h"

#include <sys/mman.h>

#include <new>

MemoryReserve& MemoryReserve::instance()
{
    static MemoryReserve reserve;
    return reserve;
}

MemoryReserve::~MemoryReserve()
{
    release();
}

bool MemoryReserve::fill(std::size_t bytes)
{
    m_wanted = bytes;
    if (held())
        return true;
    void* base = ::mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED)
        return false;
    m_base = base;
    m_bytes = bytes;
    return true;
}

void MemoryReserve::release()
{
    if (!held())
        return;
    ::munmap(m_base, m_bytes);
    m_base = nullptr;
    m_bytes = 0;
}

MemoryReserve::Lease::Lease(MemoryReserve& reserve)
    : m_reserve(reserve)
{
    // A reserve never filled asks nothing of the box.
    if (m_reserve.m_wanted == 0)
        return;
    // Lost after an earlier box: try again now, while nothing else is made.
    if (!m_reserve.fill(m_reserve.m_wanted))
        throw std::bad_alloc();
    m_reserve.release();
}

MemoryReserve::Lease::~Lease()
{
    if (m_reserve.m_wanted != 0)
        (void)m_reserve.fill(m_reserve.m_wanted);
}
