#pragma once

#include "net/ControlId.h"

#include <cstddef>
#include <string>

// The only way the endpoints reach the window. Texts are bytes in the
// narrow encoding (NarrowEncoding::process()).
//
// A receive thread may call three operations, and waits for each this long:
// - appendLog and peerRegister: until the window's thread has taken the
//   call, which it puts in place before anything else, the user included,
//   can read or see the window; so the call counts as carried out, and the
//   pass's echo need not wait on the text layout. A window's thread busy
//   elsewhere (not back at its events) has not taken it yet.
// - echoChecked: not at all; it reads the box as the window's thread last
//   saw it change, since a trip would wait behind the repaint the pass's
//   log line just caused.
// Every other operation is for the window's thread only (implementations
// check it in debug builds), as are the three there, where they run at once.
//
// cancelWaits() makes every waiting receive-thread call return at once with
// nothing done, and every later one until resumeWaits(), so stopping a side
// never waits on the window; echoChecked() is then false. A call given up on
// before the window's thread took it never runs.
//
// Empty results: "" for texts, -1 (none) for indices, 0 for counts, false
// for the echo box.
class FieldOperations {
public:
    static constexpr int kNone = -1;

    virtual ~FieldOperations() = default;

    // Called by the owning side on the window's thread: cancelWaits() before
    // ending its receive thread, resumeWaits() before starting a new one.
    virtual void cancelWaits() = 0;
    virtual void resumeWaits() = 0;

    // Receive threads too.
    // Old text, a line break, then the text; the view returns to the top.
    virtual void appendLog(ControlId log, const std::string& text) = 0;
    virtual bool echoChecked() = 0;
    // Appends the entry unless one with exactly this whole text is listed,
    // as one step, so no delete can slip in between the look-up and the append.
    virtual void peerRegister(const std::string& entry) = 0;

    // The window's thread only.
    virtual std::string readWholeField(ControlId id) = 0;
    virtual void setField(ControlId id, const std::string& text) = 0;
    virtual int peerCount() = 0;
    virtual int peerSelection() = 0;
    virtual std::string peerText(int index) = 0;
    virtual void peerDelete(int index) = 0;
    virtual void enableButton(ControlId id, bool on) = 0;
    virtual void showError(const std::string& text) = 0;

    // The field's text as read into a buffer of `size` bytes: at most
    // size - 1 bytes, cut at the last whole character that fits.
    std::string readField(ControlId id, std::size_t size);
};
