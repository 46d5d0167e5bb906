// Many small files: a folder of 1,000 files of 1 KiB downloaded and uploaded whole by the
// window's queue (the remote walk or the local one, then the queue runner, through the
// component the window uses, on its own thread), next to lftp's `mirror` and `mirror -R`
// against the same server in the same run, alternating (engine, lftp, lftp, engine, ...),
// each case the median of its rounds. Goal: engine time / lftp time at most 1.2.
//
//   bench_folders [--files N] [--kib N] [--rounds N] [--dir WORKDIR]
// The server as for bench_ftpengine (TESSEL_BENCH_FTPD, else pyftpdlib). Use a tmpfs
// (--dir /dev/shm) so that the disk does not set the pace.
#include "BenchSupport.h"
#include "ftp/component/ThreadedComponent.h"
#include "ftp/folders/FolderWalk.h"
#include "ftp/folders/QueueRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using namespace benchsupport;
using namespace ftp::folders;

int option(const QStringList& args, const QString& name, int fallback) {
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toInt() : fallback;
}

bool makeFolder(const QString& path, int files, int kib) {
    if (!QDir().mkpath(path))
        return false;
    const QByteArray bytes(kib * 1024, 'x');
    for (int i = 0; i < files; ++i) {
        QFile file(QStringLiteral("%1/file%2.dat").arg(path).arg(i, 5, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return false;
    }
    return true;
}

int countFiles(const QString& path) {
    return int(QDir(path).entryList(QDir::Files | QDir::Hidden).size());
}

QString causeOf(const std::exception& e) {
    return QString::fromUtf8(e.what());
}

// The queue as the window runs it: walk, then one job after the other.
bool engineRun(ftp::FtpComponent& session, bool download, const QString& from, const QString& into) {
    JobList jobs;
    if (download) {
        RemoteWalk walk(
            [&](const QString& path, bool identify) { return session.ListFolder(path, identify); }, causeOf);
        walk.addFolder(from, into);
        jobs = walk.jobs();
    } else {
        jobs = localFolderJobs(from, into);
    }
    QueueRunner runner(session, ftp::BinaryMode, causeOf);
    runner.run(jobs, {});
    for (const TransferJob& job : std::as_const(jobs)) {
        if (job.state != TransferJob::State::Done) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(job.shown), qPrintable(job.cause));
            return false;
        }
    }
    return true;
}

bool lftpRun(const BenchServer& server, bool download, const QString& from, const QString& into) {
    const QString mirror = download ? QStringLiteral("mirror %1 %2").arg(from, into)
                                    : QStringLiteral("mirror -R %1 %2").arg(from, into);
    return runProgram(QStringLiteral("lftp"),
                      {QStringLiteral("-u"), server.user() + u',' + server.password(), QStringLiteral("-p"),
                       QString::number(server.port()), QStringLiteral("-e"),
                       QStringLiteral("set ftp:ssl-allow no; %1; quit").arg(mirror),
                       QStringLiteral("127.0.0.1")})
        .has_value();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int files = option(args, QStringLiteral("--files"), 1000);
    const int kib = option(args, QStringLiteral("--kib"), 1);
    const int rounds = option(args, QStringLiteral("--rounds"), 5);
    const qsizetype dirAt = args.indexOf(QStringLiteral("--dir"));
    QTemporaryDir work(dirAt >= 0 ? args.value(dirAt + 1) + QStringLiteral("/bench-folders-XXXXXX")
                                  : QDir::tempPath() + QStringLiteral("/bench-folders-XXXXXX"));
    const QString root = work.filePath(QStringLiteral("root")),
                  local = work.filePath(QStringLiteral("local"));
    if (!makeFolder(root + QStringLiteral("/many"), files, kib) ||
        !makeFolder(local + QStringLiteral("/many"), files, kib))
        return 1;
    BenchServer server;
    if (!server.start(root))
        return 1;
    auto session = ftp::createThreadedFtpEngine();
    if (session->Connect(server.serverName(), server.user(), server.password()) != 0)
        return 1;

    std::vector<double> times[4]; // engine down, lftp down, engine up, lftp up
    int run = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const bool download : {true, false}) {
            for (const bool engineFirst : {round % 2 == 0, round % 2 != 0}) {
                const QString target = QStringLiteral("/run%1").arg(++run);
                const QString into = work.filePath(QStringLiteral("down%1").arg(run));
                const bool engine = engineFirst;
                QDir().mkpath(into);
                const double t = timed([&] {
                    if (download)
                        return engine ? engineRun(*session, true, QStringLiteral("/many"), into)
                                      : lftpRun(server, true, QStringLiteral("/many"),
                                                into + QStringLiteral("/many"));
                    if (engine && session->MakeFolder(target) == 0)
                        return false;
                    return engine ? engineRun(*session, false, local + QStringLiteral("/many"), target)
                                  : lftpRun(server, false, local + QStringLiteral("/many"),
                                            target + QStringLiteral("/many"));
                });
                const QString arrived = (download ? into : root + target) + QStringLiteral("/many");
                if (t < 0 || countFiles(arrived) != files) {
                    std::fprintf(stderr, "round %d failed (%s, %s)\n", round, download ? "down" : "up",
                                 engine ? "engine" : "lftp");
                    return 1;
                }
                times[(download ? 0 : 2) + (engine ? 0 : 1)].push_back(t);
                QDir(into).removeRecursively();
                QDir(root + target).removeRecursively();
            }
        }
    }
    session->Close();
    std::printf("%d files of %d KiB, %d rounds, medians:\n", files, kib, rounds);
    const char* names[] = {"download", "upload"};
    for (int i = 0; i < 2; ++i) {
        const double engine = median(times[2 * i]), lftp = median(times[2 * i + 1]);
        std::printf(
            "  %-8s engine %.3f s (spread %.0f %%)  lftp %.3f s (spread %.0f %%)  ratio %.2f (goal <= 1.2)\n",
            names[i], engine, spreadPercent(times[2 * i]), lftp, spreadPercent(times[2 * i + 1]),
            engine / lftp);
    }
    return 0;
}
