#include "ui/QtFieldOperations.h"

#include "text/NarrowEncoding.h"
#include "ui/MainWindowFields.h"

#include <QCheckBox>
#include <QThread>

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
    m_echoChecked = m_fields.echoBox()->isChecked();
    QObject::connect(m_fields.echoBox(), &QCheckBox::toggled, &m_handOver, [this](bool on) { m_echoChecked = on; });
}

MainWindowFields& QtFieldOperations::onWindowsThread()
{
    Q_ASSERT(QThread::currentThread() == m_handOver.thread());
    return m_fields;
}

void QtFieldOperations::cancelWaits()
{
    m_handOver.refuse(true);
}

void QtFieldOperations::resumeWaits()
{
    m_handOver.refuse(false);
}

std::string QtFieldOperations::readWholeField(ControlId id)
{
    return toBytes(onWindowsThread().text(id));
}

void QtFieldOperations::setField(ControlId id, const std::string& text)
{
    onWindowsThread().setText(id, fromBytes(text));
}

void QtFieldOperations::appendLog(ControlId log, const std::string& text)
{
    m_handOver.run([this, log, text] { m_fields.appendLog(log, fromBytes(text)); });
}

bool QtFieldOperations::echoChecked()
{
    // No trip, which would wait behind the repaint of the pass's log line;
    // the mirror changes when the box does. No echo once the side stops.
    return !m_handOver.refusing() && m_echoChecked.load();
}

void QtFieldOperations::peerRegister(const std::string& entry)
{
    m_handOver.run([this, entry] { m_fields.peerRegister(fromBytes(entry)); });
}

int QtFieldOperations::peerCount()
{
    return onWindowsThread().peerCount();
}

int QtFieldOperations::peerSelection()
{
    return onWindowsThread().peerSelection();
}

std::string QtFieldOperations::peerText(int index)
{
    return toBytes(onWindowsThread().peerText(index));
}

void QtFieldOperations::peerDelete(int index)
{
    onWindowsThread().peerDelete(index);
}

void QtFieldOperations::enableButton(ControlId id, bool on)
{
    onWindowsThread().enableButton(id, on);
}

void QtFieldOperations::showError(const std::string& text)
{
    onWindowsThread().showError(fromBytes(text));
}
