#pragma once
// What the feed publisher and the bus backend share about their server connection: the
// common options, the connect with its JetStream context, and the orderly close that
// waits for the client library's last callback. Private to ttnats.

#include <nats/nats.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

namespace ttnats {

// Options for url with the connect timeout and endless reconnects; the caller adds its
// own settings while the status stays NATS_OK.
natsStatus createLinkOptions(natsOptions** opts, const std::string& url, int timeoutMs);

// Connects with opts when s is NATS_OK, destroys opts and opens the JetStream context.
// On failure error says why; conn stays null when no connection was made.
bool openLink(natsStatus s, natsOptions* opts, const std::string& url, natsConnection** conn,
              jsCtx** js, std::string& error);

// Closes conn (closing marks the disconnect that follows as our own), waits at most 10 s
// for the closed callback to set closed under doneMutex, then destroys js and conn.
void closeLink(natsConnection*& conn, jsCtx*& js, std::atomic<bool>& closing, std::mutex& doneMutex,
               std::condition_variable& done, const bool& closed);

// The closed callback of an owner with doneMutex, done and closed.
template <class Owner>
void onLinkClosed(natsConnection*, void* closure)
{
    auto* self = static_cast<Owner*>(closure);
    std::lock_guard<std::mutex> lock(self->doneMutex);
    self->closed = true;
    self->done.notify_all();
}

} // namespace ttnats
