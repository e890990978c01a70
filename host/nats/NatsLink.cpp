#include "host/nats/NatsLink.h"

#include <chrono>

namespace ttnats {

natsStatus createLinkOptions(natsOptions** opts, const std::string& url, int timeoutMs)
{
    natsStatus s = natsOptions_Create(opts);
    if (s == NATS_OK)
        s = natsOptions_SetURL(*opts, url.c_str());
    if (s == NATS_OK)
        s = natsOptions_SetTimeout(*opts, timeoutMs);
    if (s == NATS_OK)
        s = natsOptions_SetMaxReconnect(*opts, -1);
    return s;
}

bool openLink(natsStatus s, natsOptions* opts, const std::string& url, natsConnection** conn,
              jsCtx** js, std::string& error)
{
    if (s == NATS_OK)
        s = natsConnection_Connect(conn, opts);
    natsOptions_Destroy(opts);
    if (s == NATS_OK)
        s = natsConnection_JetStream(js, *conn, nullptr);
    if (s != NATS_OK) {
        error = std::string("cannot connect to ") + url + ": " + natsStatus_GetText(s);
        return false;
    }
    return true;
}

void closeLink(natsConnection*& conn, jsCtx*& js, std::atomic<bool>& closing, std::mutex& doneMutex,
               std::condition_variable& done, const bool& closed)
{
    if (conn) {
        closing = true;
        natsConnection_Close(conn);
        std::unique_lock<std::mutex> lock(doneMutex);
        done.wait_for(lock, std::chrono::seconds(10), [&closed] { return closed; });
    }
    jsCtx_Destroy(js);
    js = nullptr;
    natsConnection_Destroy(conn);
    conn = nullptr;
}

} // namespace ttnats
