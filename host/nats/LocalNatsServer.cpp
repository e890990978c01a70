#include "host/nats/LocalNatsServer.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ttnats {

namespace {
// A server whose owner dies (a crashed test) goes with it instead of lingering.
class ServerProcess final : public QProcess {
protected:
    void setupChildProcess() override { ::prctl(PR_SET_PDEATHSIG, SIGTERM); }
};
} // namespace

int LocalNatsServer::freePort()
{
    // the port the kernel picks for a listener on the loopback address
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    ::close(fd);
    return port;
}

LocalNatsServer::LocalNatsServer() = default;

LocalNatsServer::~LocalNatsServer()
{
    stop();
}

QString LocalNatsServer::program()
{
    // Debian installs it under sbin, which a user's PATH may lack
    QString path = QStandardPaths::findExecutable(QStringLiteral("nats-server"));
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(QStringLiteral("nats-server"),
                                              {QStringLiteral("/usr/sbin"),
                                               QStringLiteral("/usr/local/sbin"),
                                               QStringLiteral("/usr/local/bin")});
    return path;
}

bool LocalNatsServer::start(int timeoutMs)
{
    if (isRunning())
        return true;
    const QString exe = program();
    if (exe.isEmpty())
        return false;
    if (!m_dir) {
        m_dir = std::make_unique<QTemporaryDir>();
        if (!m_dir->isValid())
            return false;
    }
    if (m_port == 0)
        m_port = freePort();
    if (m_port == 0)
        return false;
    m_process = std::make_unique<ServerProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->start(exe, {QStringLiteral("-a"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                           QString::number(m_port), QStringLiteral("-js"), QStringLiteral("-sd"),
                           m_dir->filePath(QStringLiteral("js"))});
    if (!m_process->waitForStarted(timeoutMs))
        return false;
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (m_log.contains(QLatin1String("Server is ready")))
            return true;
        if (m_process->state() != QProcess::Running)
            break;
        m_process->waitForReadyRead(
            static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        m_log += QString::fromLocal8Bit(m_process->readAll());
    }
    stop();
    return false;
}

void LocalNatsServer::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        const qint64 id = m_process->processId();
        ::kill(static_cast<pid_t>(id), SIGTERM);
        if (!m_process->waitForFinished(5000)) {
            ::kill(static_cast<pid_t>(id), SIGKILL);
            m_process->waitForFinished(5000);
        }
    }
    m_log += QString::fromLocal8Bit(m_process->readAll());
    m_process.reset();
}

bool LocalNatsServer::restart(int timeoutMs)
{
    stop();
    m_log.clear();
    return start(timeoutMs);
}

bool LocalNatsServer::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

qint64 LocalNatsServer::pid() const
{
    return m_process ? m_process->processId() : 0;
}

std::string LocalNatsServer::url() const
{
    return "nats://127.0.0.1:" + std::to_string(m_port);
}

QString LocalNatsServer::log() const
{
    return m_log;
}

} // namespace ttnats
