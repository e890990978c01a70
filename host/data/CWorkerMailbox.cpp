#include "host/data/CWorkerMailbox.h"

#include <QMetaObject>

namespace TC {

bool CWorkerMailbox::post(std::function<void()> fn)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_receiver)
        return false;
    // the posted call event dies with the receiver if it is never delivered
    return QMetaObject::invokeMethod(m_receiver, std::move(fn), Qt::QueuedConnection);
}

bool CWorkerMailbox::postIfCurrent(quint64 generation, std::function<void()> fn)
{
    return post([this_gen = generation, fn = std::move(fn), box = this]() {
        if (box->isCurrent(this_gen))
            fn();
    });
}

void CWorkerMailbox::close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_receiver = nullptr;
}

bool CWorkerMailbox::isClosed() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_receiver == nullptr;
}

} // namespace TC
