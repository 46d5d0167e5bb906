#include "support/SshServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <csignal>
#include <pwd.h>
#include <unistd.h>

namespace testing {

namespace {

bool run(const QString& program, const QStringList& arguments, QByteArray* out = nullptr,
         const QByteArray& input = {}) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(5'000))
        return false;
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(30'000);
    if (out)
        *out = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

quint16 freePort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

} // namespace

SshServer::SshServer() = default;

SshServer::~SshServer() {
    stop();
}

QString SshServer::keyUser() {
    const passwd* entry = ::getpwuid(::getuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString();
}

bool SshServer::passwordAccount() {
    if (::getuid() != 0)
        return false;
    if (!::getpwnam(kPasswordUser.toLocal8Bit().constData()) &&
        !run(QStringLiteral("useradd"),
             {QStringLiteral("--system"), QStringLiteral("--no-create-home"), QStringLiteral("--home-dir"),
              QStringLiteral("/nonexistent"), QStringLiteral("--shell"), QStringLiteral("/usr/sbin/nologin"),
              kPasswordUser}))
        return false;
    return run(QStringLiteral("chpasswd"), {}, nullptr, (kPasswordUser + u':' + kPassword + u'\n').toUtf8());
}

bool SshServer::makeKey(const QString& path, const QString& passphrase) {
    QFile::remove(path);
    QFile::remove(path + QStringLiteral(".pub"));
    return run(QStringLiteral("ssh-keygen"),
               {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"), QStringLiteral("-N"),
                passphrase, QStringLiteral("-f"), path});
}

void SshServer::authorize(const QString& publicKeyFile) {
    QFile source(publicKeyFile);
    QFile keys(dir_.filePath(QStringLiteral("authorized_keys")));
    if (source.open(QIODevice::ReadOnly) && keys.open(QIODevice::Append))
        keys.write(source.readAll());
}

bool SshServer::start(const QString& rootDir) {
    root_ = rootDir;
    port_ = freePort();
    if (!dir_.isValid() || port_ == 0) {
        error_ = QStringLiteral("no temporary folder or port");
        return false;
    }
    QFile(dir_.path())
        .setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                        QFile::ExeOther);
    QFile keys(dir_.filePath(QStringLiteral("authorized_keys")));
    keys.open(QIODevice::Append);
    keys.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    keys.close();
    return changeHostKey();
}

bool SshServer::changeHostKey(const QString& type) {
    stop();
    const QString key = dir_.filePath(QStringLiteral("host_key"));
    QFile::remove(key);
    QFile::remove(key + QStringLiteral(".pub"));
    if (!run(QStringLiteral("ssh-keygen"), {QStringLiteral("-q"), QStringLiteral("-t"), type,
                                            QStringLiteral("-N"), QString(), QStringLiteral("-f"), key})) {
        error_ = QStringLiteral("ssh-keygen failed");
        return false;
    }
    return launch();
}

bool SshServer::restartWith(const QString& lines) {
    stop();
    extra_ = lines;
    return launch();
}

bool SshServer::launch() {
    const QString config = dir_.filePath(QStringLiteral("sshd_config"));
    QFile file(config);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(extra_.toUtf8());
    file.write(QStringLiteral("Port %1\nListenAddress 127.0.0.1\nHostKey %2\nPidFile none\nUsePAM no\n"
                              "PasswordAuthentication yes\nKbdInteractiveAuthentication no\n"
                              "PubkeyAuthentication yes\nAuthorizedKeysFile %3\nStrictModes no\n"
                              "PermitRootLogin yes\nMaxAuthTries 20\nSubsystem sftp internal-sftp -d %4\n"
                              "ForceCommand internal-sftp -d %4\n")
                   .arg(port_)
                   .arg(dir_.filePath(QStringLiteral("host_key")),
                        dir_.filePath(QStringLiteral("authorized_keys")), root_)
                   .toUtf8());
    file.close();
    if (::getuid() == 0)
        QDir().mkpath(QStringLiteral("/run/sshd"));
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("/usr/sbin/sshd"),
                   {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"), config});
    if (!process_.waitForStarted(5'000)) {
        error_ = QStringLiteral("sshd did not start: ") + process_.errorString();
        return false;
    }
    const QDeadlineTimer deadline(10'000);
    while (!deadline.hasExpired() && process_.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port_);
        if (probe.waitForConnected(500) && probe.waitForReadyRead(2'000) &&
            probe.readAll().startsWith("SSH-"))
            return true;
        QThread::msleep(50);
    }
    error_ = QStringLiteral("sshd did not greet on port %1").arg(port_);
    return false;
}

void SshServer::stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    dropSessions();
    process_.terminate();
    if (!process_.waitForFinished(5'000))
        process_.kill();
    process_.waitForFinished(2'000);
}

void SshServer::dropSessions() {
    // The listener's children, each serving one connection (Linux: /proc/<pid>/task/*/children).
    const qint64 listener = process_.processId();
    if (listener <= 0)
        return;
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(listener));
    if (!children.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray& pid : children.readAll().split(' ')) {
        if (pid.trimmed().toLongLong() > 0)
            ::kill(pid_t(pid.trimmed().toLongLong()), SIGKILL);
    }
}

QString SshServer::serverName() const {
    return QStringLiteral("sftp://127.0.0.1:%1").arg(port_);
}

QByteArray SshServer::knownHostsLine() const {
    QFile pub(dir_.filePath(QStringLiteral("host_key.pub")));
    if (!pub.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> parts = pub.readAll().trimmed().split(' ');
    return QStringLiteral("[127.0.0.1]:%1 ").arg(port_).toUtf8() + parts.value(0) + ' ' + parts.value(1) +
           '\n';
}

QString SshServer::fingerprint() const {
    QByteArray out;
    run(QStringLiteral("ssh-keygen"), {QStringLiteral("-lf"), dir_.filePath(QStringLiteral("host_key.pub"))},
        &out);
    return QString::fromLatin1(out.split(' ').value(1));
}

} // namespace testing
