#pragma once
// Hand-off from worker and host threads to the GUI thread of one receiver.
//
// Workers post functions through the mailbox; each runs later on the receiver's thread.
// The receiver closes the mailbox first thing in its destructor: close() waits for a post
// under way, and once it returns nothing more is posted, while what was already posted
// is discarded by Qt together with the receiver. A worker holds the mailbox, never the
// receiver, so no worker can touch a receiver that is gone. Stale results of an older
// request are dropped by comparing generations.

#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace TC {

class CWorkerMailbox {
public:
    explicit CWorkerMailbox(QObject* receiver) : m_receiver(receiver) {}
    CWorkerMailbox(const CWorkerMailbox&) = delete;
    CWorkerMailbox& operator=(const CWorkerMailbox&) = delete;

    static std::shared_ptr<CWorkerMailbox> create(QObject* receiver)
    {
        return std::make_shared<CWorkerMailbox>(receiver);
    }

    // Runs fn on the receiver's thread unless the mailbox is closed; false when dropped.
    bool post(std::function<void()> fn);
    // As post, but fn runs only if the generation is still current when it runs.
    bool postIfCurrent(quint64 generation, std::function<void()> fn);

    void close();
    bool isClosed() const;

    // A new request makes every result of older ones stale.
    quint64 nextGeneration() { return ++m_generation; }
    quint64 generation() const { return m_generation.load(); }
    bool isCurrent(quint64 generation) const { return generation == m_generation.load(); }

private:
    mutable std::mutex m_mutex;
    QObject* m_receiver; // null once closed
    std::atomic<quint64> m_generation{0};
};

using CWorkerMailboxPtr = std::shared_ptr<CWorkerMailbox>;

} // namespace TC
