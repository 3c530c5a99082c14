#pragma once

#include <vector>

// Spare file descriptors held from start-up for the error box. When the
// process runs out of descriptors, a Start fails, and the box that says so
// needs a few of its own to be drawn (see kForErrorBox); without them Qt maps
// a window it never paints, which blocks the dialog without a word. The
// reserve is let go just before the box shows and taken back once it
// closes, the way servers keep one for accept() running out. The spares are
// opened first, so they hold the lowest numbers, which are what a lowered
// limit still allows; a limit lowered below them leaves them useless, which
// the lease tells.
class DescriptorReserve {
public:
    // Measured with a Start failing for want of descriptors. X11 (Xvfb):
    // the box holds two at once, the icon theme's cache (which Qt keeps open
    // from then on) and one passing descriptor (the theme's index file, then
    // the shared-memory segment of the box's backing store, which the X
    // server hands over the connection). Without room for that segment the
    // kernel drops it, xcb closes the connection and nothing is drawn again.
    // Native Wayland (sway, Qt 6.8 and 6.11): the box's buffer pool is a
    // memfd that libwayland duplicates to send, two at once; with only those
    // two free, about one Start in six found one taken meanwhile, and the
    // pool could not be sent, which ends the connection. With a third spare
    // no box failed.
    static constexpr int kForErrorBox = 3;

    // The process's reserve.
    static DescriptorReserve& instance();

    DescriptorReserve() = default;
    ~DescriptorReserve();
    DescriptorReserve(const DescriptorReserve&) = delete;
    DescriptorReserve& operator=(const DescriptorReserve&) = delete;

    // Opens spares until `count` are held or no more can be opened.
    void fill(int count);
    // Closes every spare.
    void release();
    int held() const { return static_cast<int>(m_spares.size()); }

    // Releases the reserve for its lifetime, then fills it again.
    class Lease {
    public:
        explicit Lease(DescriptorReserve& reserve);
        ~Lease();
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;

        // Whether as many descriptors as the reserve was filled with can be
        // had now, under the limit as it is at this moment.
        bool enough() const { return m_enough; }

    private:
        DescriptorReserve& m_reserve;
        int m_wanted;
        bool m_enough;
    };

private:
    std::vector<int> m_spares;
    int m_wanted = 0;
};
