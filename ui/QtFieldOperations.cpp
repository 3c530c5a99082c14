#include "ui/QtFieldOperations.h"

#include "text/NarrowEncoding.h"
#include "ui/MainWindowFields.h"

#include <QCheckBox>

#include <memory>

namespace {

// Field texts are bytes in the process's narrow encoding; Qt sees UTF-8 only.
QString fromBytes(const std::string& bytes)
{
    const std::string utf8 = NarrowEncoding::process().decode(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string toBytes(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return NarrowEncoding::process().encode(std::string(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

} // namespace

QtFieldOperations::QtFieldOperations(MainWindowFields& fields)
    : m_fields(fields)
{
    if (QCheckBox* box = m_fields.echoBox()) {
        m_echoChecked = box->isChecked();
        QObject::connect(box, &QCheckBox::toggled, &m_handOver, [this](bool on) { m_echoChecked = on; });
    }
}

void QtFieldOperations::endRun()
{
    m_handOver.close();
}

void QtFieldOperations::cancelWaits()
{
    m_handOver.cancel();
}

void QtFieldOperations::resumeWaits()
{
    m_handOver.resume();
}

template <class Result, class Function> Result QtFieldOperations::ask(Result empty, Function function)
{
    // Shared, not on this stack: a cancelled caller leaves while the call
    // may still be writing its answer.
    const auto result = std::make_shared<Result>(empty);
    return m_handOver.run([result, function] { *result = function(); }) ? *result : empty;
}

std::string QtFieldOperations::readWholeField(ControlId id)
{
    return ask(std::string(), [this, id] { return toBytes(m_fields.text(id)); });
}

void QtFieldOperations::setField(ControlId id, const std::string& text)
{
    m_handOver.run([this, id, text] { m_fields.setText(id, fromBytes(text)); });
}

void QtFieldOperations::appendLog(ControlId log, const std::string& text)
{
    // Taken is enough: the line is in place before anything else reads or
    // shows the window, and the pass's echo need not wait on the layout.
    m_handOver.run([this, log, text] { m_fields.appendLog(log, fromBytes(text)); }, HandOver::Until::Taken);
}

bool QtFieldOperations::echoChecked()
{
    // Read without a trip: a trip would wait behind the repaint the pass's
    // log line just caused, and the mirror changes on the window's thread
    // exactly when the box does.
    return !m_handOver.refuses() && m_echoChecked.load();
}

void QtFieldOperations::peerRegister(const std::string& entry)
{
    m_handOver.run([this, entry] { m_fields.peerRegister(fromBytes(entry)); }, HandOver::Until::Taken);
}

int QtFieldOperations::peerCount()
{
    return ask(0, [this] { return m_fields.peerCount(); });
}

int QtFieldOperations::peerSelection()
{
    return ask(kNone, [this] { return m_fields.peerSelection(); });
}

std::string QtFieldOperations::peerText(int index)
{
    return ask(std::string(), [this, index] { return toBytes(m_fields.peerText(index)); });
}

void QtFieldOperations::peerDelete(int index)
{
    m_handOver.run([this, index] { m_fields.peerDelete(index); });
}

void QtFieldOperations::enableButton(ControlId id, bool on)
{
    m_handOver.run([this, id, on] { m_fields.enableButton(id, on); });
}

void QtFieldOperations::showError(const std::string& text)
{
    m_handOver.run([this, text] { m_fields.showError(fromBytes(text)); });
}
