#pragma once

#include <cstddef>

// Address space held from start-up for the error box. Qt does not survive
// running out of memory while it builds a message box (it crashes inside
// the box's constructor), so a Start that fails for want of memory could
// end the program instead of saying so. The reserve is a mapping that is
// never touched: it costs no memory, only room under an address-space
// limit, and is let go just before the box is made.
class MemoryReserve {
public:
    // The first error box of a run grew the address space by 1,032 KiB at
    // its peak (later ones by 48 KiB); twice that leaves room for the
    // allocator's rounding when the limit is reached.
    static constexpr std::size_t kForErrorBox = 2u << 20;

    static MemoryReserve& instance();

    MemoryReserve() = default;
    ~MemoryReserve();
    MemoryReserve(const MemoryReserve&) = delete;
    MemoryReserve& operator=(const MemoryReserve&) = delete;

    // Maps `bytes` unless held already; false when the mapping cannot be made.
    bool fill(std::size_t bytes);
    void release();
    bool held() const { return m_base != nullptr; }

    // Makes the room free for its lifetime, then takes it back. Throws
    // std::bad_alloc when there is no room to give (the reserve was lost
    // and cannot be taken again): the box must not be made then.
    class Lease {
    public:
        explicit Lease(MemoryReserve& reserve);
        ~Lease();
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;

    private:
        MemoryReserve& m_reserve;
    };

private:
    void* m_base = nullptr;
    std::size_t m_bytes = 0;
    std::size_t m_wanted = 0;
};
