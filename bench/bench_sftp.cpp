// The SFTP engine against OpenSSH's own sftp client on the same local sshd: a download and
// an upload of TESSEL_BENCH_SFTP_MIB MiB (1024 by default), rounds alternating between the
// two clients (TESSEL_BENCH_ROUNDS, 3 by default); medians and the ratio engine/sftp.
#include "BenchSupport.h"
#include "ftp/component/sftp/SftpEngine.h"
#include "support/SshServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using benchsupport::median;
using benchsupport::runProgram;
using benchsupport::timed;
using testing::SshServer;

namespace {

bool writeFile(const QString& path, qint64 mib) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < block.size(); ++i)
        block[i] = char((i * 131 + 7) & 0xff);
    for (qint64 i = 0; i < mib; ++i) {
        block[0] = char(i);
        if (file.write(block) != block.size())
            return false;
    }
    return true;
}

long peakRssKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 mib = qEnvironmentVariableIntValue("TESSEL_BENCH_SFTP_MIB") > 0
                           ? qEnvironmentVariableIntValue("TESSEL_BENCH_SFTP_MIB")
                           : 1024;
    const int rounds = std::max(1, qEnvironmentVariableIntValue("TESSEL_BENCH_ROUNDS") > 0
                                       ? qEnvironmentVariableIntValue("TESSEL_BENCH_ROUNDS")
                                       : 3);
    QTemporaryDir home, root, local;
    qputenv("HOME", home.path().toUtf8());
    qunsetenv("SSH_AUTH_SOCK");
    SshServer server;
    const QString key = home.filePath(QStringLiteral(".ssh/id_ed25519"));
    QDir(home.path()).mkpath(QStringLiteral(".ssh"));
    if (!server.start(root.path()) || !SshServer::makeKey(key)) {
        std::fprintf(stderr, "sshd: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    server.authorize(key + QStringLiteral(".pub"));
    const QString knownHosts = home.filePath(QStringLiteral(".ssh/known_hosts"));
    QFile hosts(knownHosts);
    hosts.open(QIODevice::WriteOnly);
    hosts.write(server.knownHostsLine());
    hosts.close();
    if (!writeFile(root.filePath(QStringLiteral("remote.bin")), mib) ||
        !writeFile(local.filePath(QStringLiteral("local.bin")), mib))
        return 1;

    const QString target = local.filePath(QStringLiteral("down.bin"));
    const QStringList sftpArgs = {QStringLiteral("-q"),
                                  QStringLiteral("-b"),
                                  QStringLiteral("-"),
                                  QStringLiteral("-i"),
                                  key,
                                  QStringLiteral("-P"),
                                  QString::number(server.port()),
                                  QStringLiteral("-o"),
                                  QStringLiteral("UserKnownHostsFile=") + knownHosts,
                                  SshServer::keyUser() + QStringLiteral("@127.0.0.1")};
    const auto openssh = [&](const QString& command) {
        QProcess process;
        process.start(QStringLiteral("sftp"), sftpArgs);
        process.write((command + u'\n').toUtf8());
        process.closeWriteChannel();
        return process.waitForFinished(-1) && process.exitCode() == 0;
    };
    const auto engine = [&](bool down) {
        ftp::sftp::SftpEngine session;
        if (session.Connect(server.serverName(), SshServer::keyUser(), QString()) != 0)
            return false;
        int mode = ftp::BinaryMode;
        return down ? session.GetFile(root.filePath(QStringLiteral("remote.bin")), target, mode) == 1
                    : session.PutFile(local.filePath(QStringLiteral("local.bin")), root.path() + u'/',
                                      mode) == 1;
    };
    std::vector<double> ours[2], theirs[2];
    for (int round = 0; round < rounds; ++round) {
        for (int down = 0; down < 2; ++down) {
            const QString get =
                QStringLiteral("get %1 %2").arg(root.filePath(QStringLiteral("remote.bin")), target);
            const QString put =
                QStringLiteral("put %1 %2/").arg(local.filePath(QStringLiteral("local.bin")), root.path());
            const auto runOurs = [&] { ours[down].push_back(timed([&] { return engine(down == 1); })); };
            const auto runTheirs = [&] {
                theirs[down].push_back(timed([&] { return openssh(down ? get : put); }));
            };
            if (round % 2 == 0) {
                runOurs();
                runTheirs();
            } else {
                runTheirs();
                runOurs();
            }
        }
    }
    for (int down = 1; down >= 0; --down) {
        const double a = median(ours[down]), b = median(theirs[down]);
        std::printf("%-8s %5lld MiB  engine %.2f s (%.0f MiB/s)  sftp %.2f s (%.0f MiB/s)  ratio %.2f\n",
                    down ? "download" : "upload", static_cast<long long>(mib), a, double(mib) / a, b,
                    double(mib) / b, a / b);
    }
    for (int down = 1; down >= 0; --down)
        for (const auto* runs : {&ours[down], &theirs[down]})
            std::printf("%-8s %-6s spread %.2f .. %.2f s over %zu runs\n", down ? "download" : "upload",
                        runs == &ours[down] ? "engine" : "sftp",
                        *std::min_element(runs->begin(), runs->end()),
                        *std::max_element(runs->begin(), runs->end()), runs->size());
    std::printf("peak RSS of the benchmark process: %ld KiB\n", peakRssKiB());
    return 0;
}
