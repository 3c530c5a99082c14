#include "QtFieldOperations.h"

#include "MainWindowFields.h"

#include <QCheckBox>
#include <QThread>

#include <memory>

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
        QObject::connect(box, &QCheckBox::stateChanged, &m_context,
                         [this](int state) { m_echoChecked = state != Qt::Unchecked; });
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
        ++m_generation;
    }
    m_changed.notify_all();
}

void QtFieldOperations::resumeWaits()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = false;
}

template <class Result, class Function>
Result QtFieldOperations::call(Result empty, Function function)
{
    if (QThread::currentThread() == m_context.thread())
        return runEnded() ? empty : function();

    struct Pending {
        bool done = false;
        Result result{};
    };
    auto pending = std::make_shared<Pending>();
    std::uint64_t generation = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_cancelled || m_runEnded)
            return empty;
        generation = m_generation;
    }
    QMetaObject::invokeMethod(
        &m_context,
        [this, pending, generation, function] {
            {
                // Cancelling happens on this same thread, so nothing can
                // cancel between this check and the call below.
                std::lock_guard<std::mutex> lock(m_mutex);
                if (generation != m_generation)
                    return;
            }
            Result result = function();
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                pending->result = std::move(result);
                pending->done = true;
            }
            m_changed.notify_all();
        },
        Qt::QueuedConnection);

    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [&] { return pending->done || generation != m_generation; });
    return pending->done ? std::move(pending->result) : empty;
}

template <class Function>
void QtFieldOperations::callVoid(Function function)
{
    call(false, [function] {
        function();
        return true;
    });
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
    callVoid([this, log, text] { m_fields.appendLog(log, fromBytes(text)); });
}

bool QtFieldOperations::echoChecked()
{
    if (QThread::currentThread() == m_context.thread())
        return !runEnded() && m_fields.echoChecked();
    // A round trip here would wait behind the repaint that the log line just
    // caused. The mirror changes on the window's thread exactly when the box
    // does, so reading it is reading the box at the moment of the call.
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_cancelled && !m_runEnded && m_echoChecked.load();
}

void QtFieldOperations::peerRegister(const std::string& entry)
{
    callVoid([this, entry] { m_fields.peerRegister(fromBytes(entry)); });
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
