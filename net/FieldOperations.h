#pragma once

#include "net/ControlId.h"

#include <cstddef>
#include <string>

// The only way the endpoints reach the window. Texts are bytes in the
// narrow encoding (NarrowEncoding::process()). Every operation may be called
// from the window's thread, where it runs at once, or from a receive thread,
// where it is carried out on the window's thread while the caller waits:
// - appendLog and peerRegister: until the window's thread has taken the
//   call, which it puts in place before anything else reads or shows the
//   window (so the pass's echo need not wait on the text layout);
// - echoChecked: not at all, the one operation read without a trip; it reads
//   the box's state as the window's thread last saw it change, since a trip
//   would wait behind the repaint the pass's log line just caused;
// - every other operation: until it is done.
// cancelWaits() makes every waiting call return at once with an empty result,
// even one whose call is running, so stopping a side never waits on the
// window; a call given up on before the window's thread took it never runs.
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

    virtual std::string readWholeField(ControlId id) = 0;
    virtual void setField(ControlId id, const std::string& text) = 0;
    // Old text, a line break, then the text; the view returns to the top.
    virtual void appendLog(ControlId log, const std::string& text) = 0;
    virtual bool echoChecked() = 0;
    // Appends the entry unless one with exactly this whole text is listed,
    // as one step, so no delete can slip in between the look-up and the append.
    virtual void peerRegister(const std::string& entry) = 0;
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
