// What running the engine on a thread of its own costs: one large binary download and
// upload, each through curl, through the engine called directly, and through the
// ThreadedComponent the window uses (calls forwarded to the engine's thread, the caller
// waiting in a local event loop), against the same server in one run. The three clients
// alternate round by round; printed are the medians and the time ratios client/curl
// (below 1.0: faster than curl).
//
//   bench_callpath [--mib N] [--rounds N] [--dir WORKDIR] [--server HOST:PORT --user U --password P
//                   --remote-dir /PATH --root LOCALDIR]
// Without --server a pyftpdlib server on 127.0.0.1 serves WORKDIR/root. With --server (a
// vsftpd started by hand, say), --root is the folder the server serves, so that the
// benchmark can place the download file and remove the uploads.
#include "ftp/component/FtpEngine.h"
#include "ftp/component/ThreadedComponent.h"
#include "support/PyFtpServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

bool writeRandomFile(const QString& path, qint64 size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(4 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(11);
    for (qsizetype i = 0; i < block.size(); i += 4)
        *reinterpret_cast<quint32*>(block.data() + i) = generator.generate();
    for (qint64 done = 0; done < size; done += block.size()) {
        const qint64 n = std::min<qint64>(block.size(), size - done);
        if (file.write(block.constData(), n) != n)
            return false;
    }
    return true;
}

bool runCurl(const QStringList& arguments) {
    QProcess curl;
    curl.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    curl.setStandardOutputFile(QProcess::nullDevice());
    curl.start(QStringLiteral("curl"),
               QStringList{QStringLiteral("-sS"), QStringLiteral("--fail")} + arguments);
    return curl.waitForFinished(-1) && curl.exitStatus() == QProcess::NormalExit && curl.exitCode() == 0;
}

double seconds(const std::function<bool()>& run) {
    QElapsedTimer timer;
    timer.start();
    if (!run())
        return -1;
    return double(timer.nsecsElapsed()) / 1e9;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qint64 mib = 1024;
    int rounds = 3;
    QString workDir, server, user = testing::PyFtpServer::kUser, password = testing::PyFtpServer::kPassword;
    QString remoteDir = QStringLiteral("/"), root;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        const QString& value = args[i + 1];
        if (args[i] == u"--mib")
            mib = value.toLongLong();
        else if (args[i] == u"--rounds")
            rounds = value.toInt();
        else if (args[i] == u"--dir")
            workDir = value;
        else if (args[i] == u"--server")
            server = value;
        else if (args[i] == u"--user")
            user = value;
        else if (args[i] == u"--password")
            password = value;
        else if (args[i] == u"--remote-dir")
            remoteDir = value;
        else if (args[i] == u"--root")
            root = value;
    }
    QTemporaryDir temporary(workDir.isEmpty() ? QDir::tempPath() + QStringLiteral("/bench-XXXXXX")
                                              : workDir + QStringLiteral("/bench-XXXXXX"));
    const QString local = temporary.filePath(QStringLiteral("local"));
    QDir().mkpath(local);
    testing::PyFtpServer pyftpd;
    if (server.isEmpty()) {
        root = temporary.filePath(QStringLiteral("root"));
        QDir().mkpath(root);
        if (pyftpd.start(root) == 0) {
            std::fprintf(stderr, "cannot start pyftpdlib: %s\n", qPrintable(pyftpd.errorString()));
            return 1;
        }
        server = pyftpd.serverName();
    }
    if (root.isEmpty()) {
        std::fprintf(stderr, "--server needs --root\n");
        return 1;
    }
    const qint64 size = mib * 1024 * 1024;
    if (!writeRandomFile(root + QStringLiteral("/big.bin"), size) ||
        !writeRandomFile(local + QStringLiteral("/up.bin"), size))
        return 1;
    const QString dir = remoteDir.endsWith(u'/') ? remoteDir : remoteDir + u'/';
    const QString url = QStringLiteral("ftp://%1%2").arg(server, dir);
    const QString credentials = user + u':' + password;

    auto direct = std::make_unique<ftp::FtpEngine>();
    auto threaded = ftp::createThreadedFtpEngine();
    for (ftp::FtpComponent* component : {static_cast<ftp::FtpComponent*>(direct.get()), threaded.get()}) {
        if (component->Connect(server, user, password) != 0) {
            std::fprintf(stderr, "cannot log in to %s\n", qPrintable(server));
            return 1;
        }
    }
    const auto download = [&](ftp::FtpComponent& c) {
        int mode = ftp::BinaryMode;
        return c.GetFile(dir + QStringLiteral("big.bin"), local + QStringLiteral("/down.bin"), mode) == 1;
    };
    const auto upload = [&](ftp::FtpComponent& c) {
        int mode = ftp::BinaryMode;
        const bool ok = c.PutFile(local + QStringLiteral("/up.bin"), dir, mode) == 1;
        QFile::remove(root + QStringLiteral("/up.bin"));
        return ok;
    };
    struct Case {
        const char* name;
        std::function<bool()> curl, direct, threaded;
    };
    const std::vector<Case> cases{
        {"download binary",
         [&] {
             return runCurl({QStringLiteral("-u"), credentials, QStringLiteral("-o"),
                             local + QStringLiteral("/down.bin"), url + QStringLiteral("big.bin")});
         },
         [&] { return download(*direct); }, [&] { return download(*threaded); }},
        {"upload binary",
         [&] {
             const bool ok = runCurl({QStringLiteral("-u"), credentials, QStringLiteral("-T"),
                                      local + QStringLiteral("/up.bin"), url});
             QFile::remove(root + QStringLiteral("/up.bin"));
             return ok;
         },
         [&] { return upload(*direct); }, [&] { return upload(*threaded); }},
    };
    std::printf("%lld MiB, %d rounds, server %s\n", mib, rounds, qPrintable(server));
    std::printf("%-16s %10s %10s %10s %12s %12s\n", "case", "curl s", "engine s", "thread s", "engine/curl",
                "thread/curl");
    for (const Case& c : cases) {
        std::vector<double> curlTimes, directTimes, threadedTimes;
        for (int round = 0; round < rounds; ++round) {
            curlTimes.push_back(seconds(c.curl));
            directTimes.push_back(seconds(c.direct));
            threadedTimes.push_back(seconds(c.threaded));
        }
        const double curl = median(curlTimes), engine = median(directTimes), thread = median(threadedTimes);
        std::printf("%-16s %10.3f %10.3f %10.3f %12.2f %12.2f\n", c.name, curl, engine, thread, engine / curl,
                    thread / curl);
    }
    direct->Close();
    threaded->Close();
    return 0;
}
