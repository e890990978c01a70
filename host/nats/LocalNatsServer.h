#pragma once
// A private nats-server with JetStream for tests and benchmarks: listens on 127.0.0.1 only,
// on a free port, keeps its store in a temporary directory, and is stopped by its process
// id. restart() stops and starts it on the same port and store, as a server restart does.

#include <QString>
#include <memory>

class QProcess;
class QTemporaryDir;

namespace ttnats {

class LocalNatsServer final {
public:
    LocalNatsServer();
    ~LocalNatsServer();

    // The server program, empty when it is not installed.
    static QString program();
    // A port of the loopback address nothing listens on right now.
    static int freePort();
    // Starts it and waits (at most timeoutMs) until it accepts clients.
    bool start(int timeoutMs = 10000);
    // Stops it by its process id (SIGTERM, then SIGKILL after a grace period).
    void stop();
    bool restart(int timeoutMs = 10000);
    bool isRunning() const;
    qint64 pid() const;
    int port() const { return m_port; }
    std::string url() const;
    // The server's own output so far, for failure messages.
    QString log() const;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    int m_port = 0;
    QString m_log;
};

} // namespace ttnats
