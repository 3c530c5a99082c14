#include "ui/WakeUpTarget.h"

void WakeUpTarget::post()
{
    // By name, so the queued event holds no functor of ours: Qt allocates,
    // delivers and frees it inside its own library.
    QMetaObject::invokeMethod(this, "wake", Qt::QueuedConnection);
}

void WakeUpTarget::wake()
{
    m_onWake();
}
