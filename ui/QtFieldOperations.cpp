#include "ui/QtFieldOperations.h"

#include "ui/MainWindowFields.h"

#include <QCheckBox>
#include <QThread>

namespace {

QString fromBytes(const std::string& bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string toBytes(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

QtFieldOperations::QtFieldOperations(MainWindowFields& fields)
    : m_fields(fields)
{
    if (QCheckBox* box = m_fields.echoBox()) {
        m_echoChecked = box->checkState() != Qt::Unchecked;
        QObject::connect(box, &QCheckBox::toggled, &m_wakeUp, [this](bool checked) { m_echoChecked = checked; });
    }
}

QtFieldOperations::~QtFieldOperations()
{
    endRun();
}

void QtFieldOperations::endRun()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_runEnded = true;
        m_request = nullptr;
        ++m_generation;
    }
    m_changed.notify_all();
}

bool QtFieldOperations::runEnded() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_runEnded;
}

void QtFieldOperations::cancelWaits()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_cancelled = true;
        m_request = nullptr;
        ++m_generation;
    }
    m_changed.notify_all();
}

void QtFieldOperations::resumeWaits()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = false;
}

bool QtFieldOperations::handOver(const std::function<void()>& run, bool queues)
{
    Request request;
    request.run = &run;
    request.queues = queues;
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_cancelled || m_runEnded)
        return false;
    const std::uint64_t generation = m_generation;
    const auto givenUp = [&] { return generation != m_generation; };
    // One slot: a second caller waits its turn.
    m_changed.wait(lock, [&] { return m_request == nullptr || givenUp(); });
    if (givenUp())
        return false;
    m_request = &request;
    if (m_slotWatched) {
        // A wake-up is queued, or the window's thread is lingering for
        // this very request.
        m_changed.notify_all();
    } else {
        m_slotWatched = true;
        // Posted under the lock, so endRun and the destructor cannot pass
        // a post that is under way.
        m_wakeUp.post();
    }
    // A request given up on while it runs (a cancel from some other thread)
    // still has the caller's stack in use: wait until it is done.
    m_changed.wait(lock, [&] { return request.done.load() || (givenUp() && !request.running); });
    if (m_request == &request) {
        m_request = nullptr;
        lock.unlock();
        m_changed.notify_all();
    }
    return request.done.load();
}

void QtFieldOperations::serve()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (int served = 0; served < kMostPerWakeUp; ++served) {
        // A server pass asks again within tens of microseconds (log, echo,
        // register). Waiting for that here serves both in one wake-up, with
        // no commit and repaint in between to hold the pass up.
        const auto asked = [&] { return m_request != nullptr || m_cancelled || m_runEnded; };
        if (!m_request && (served == 0 || !m_changed.wait_for(lock, kLinger, asked) || !m_request))
            break;
        Request* request = m_request;
        m_request = nullptr;
        request->running = true;
        lock.unlock();
        // Anything else might read the widgets or open a message box, whose
        // own event loop would let the user see or stop the side first.
        if (!request->queues)
            commitQueued();
        (*request->run)();
        lock.lock();
        request->running = false;
        request->done = true;
        // Wakes the caller, and any caller waiting for the slot.
        m_changed.notify_all();
    }
    m_slotWatched = m_request != nullptr;
    // A caller that keeps asking gets a fresh wake-up, behind whatever
    // else the window's thread has queued meanwhile.
    if (m_slotWatched)
        m_wakeUp.post();
    lock.unlock();
    // The callers are on their way; the layout this costs now overlaps the
    // pass's echo and pause instead of holding them up.
    commitQueued();
}

void QtFieldOperations::commitQueued()
{
    // Taken out first: what a commit does must not see a half-done queue.
    std::vector<Queued> queued;
    queued.swap(m_queued);
    for (const Queued& item : queued) {
        if (item.target == IDC_PEER_LIST)
            m_fields.peerRegister(item.text);
        else
            m_fields.appendLog(item.target, item.text);
    }
}

bool QtFieldOperations::onWindowThread() const
{
    return QThread::currentThread() == m_wakeUp.thread();
}

template <class Result, class Function> Result QtFieldOperations::call(Result empty, Function function, bool queues)
{
    if (onWindowThread()) {
        if (runEnded())
            return empty;
        Result result = function();
        // Nobody waits here, so what the call queued goes in at once.
        commitQueued();
        return result;
    }
    Result result = empty;
    // Captures by reference only, so the std::function holds it without
    // allocating.
    const std::function<void()> run = [&result, &function] { result = function(); };
    handOver(run, queues);
    return result;
}

template <class Function> void QtFieldOperations::callVoid(Function function, bool queues)
{
    call(
        false,
        [function] {
            function();
            return true;
        },
        queues);
}

std::string QtFieldOperations::readWholeField(ControlId id)
{
    return call(std::string(), [this, id] { return toBytes(m_fields.text(id)); });
}

void QtFieldOperations::setField(ControlId id, const std::string& text)
{
    callVoid([this, id, text] { m_fields.setText(id, fromBytes(text)); });
}

void QtFieldOperations::appendLog(ControlId log, const std::string& text)
{
    callVoid(
        [this, log, text] {
            if (!m_queued.empty() && m_queued.back().target == log)
                m_queued.back().text += QLatin1Char('\n') + fromBytes(text);
            else
                m_queued.push_back({ log, fromBytes(text) });
        },
        true);
}

bool QtFieldOperations::echoChecked()
{
    if (onWindowThread())
        return !runEnded() && m_fields.echoChecked();
    // A round trip here would wait behind the repaint that the log line just
    // caused. The mirror changes on the window's thread exactly when the box
    // does, so reading it is reading the box at the moment of the call.
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_cancelled && !m_runEnded && m_echoChecked.load();
}

void QtFieldOperations::peerRegister(const std::string& entry)
{
    // Found or appended when the queue is put in place, still in one step
    // with nothing of the user's in between.
    callVoid([this, entry] { m_queued.push_back({ IDC_PEER_LIST, fromBytes(entry) }); }, true);
}

int QtFieldOperations::peerCount()
{
    return call(0, [this] { return m_fields.peerCount(); });
}

int QtFieldOperations::peerSelection()
{
    return call(kNone, [this] { return m_fields.peerSelection(); });
}

std::string QtFieldOperations::peerText(int index)
{
    return call(std::string(), [this, index] { return toBytes(m_fields.peerText(index)); });
}

void QtFieldOperations::peerDelete(int index)
{
    callVoid([this, index] { m_fields.peerDelete(index); });
}

void QtFieldOperations::enableButton(ControlId id, bool on)
{
    callVoid([this, id, on] { m_fields.enableButton(id, on); });
}

void QtFieldOperations::showError(const std::string& text)
{
    callVoid([this, text] { m_fields.showError(fromBytes(text)); });
}
