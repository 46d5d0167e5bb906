// Throughput of the FTP engine next to curl, against the same pyftpdlib server on
// 127.0.0.1, in one run:
//   - download and upload of one large file (1 GiB by default), binary and text mode;
//   - a listing of a folder of 20,000 files (MLSD and LIST).
// Each case runs a few times for each client and keeps the best time. Printed per case:
// both times, and the ratio curl time / engine time (above 1.0: the engine is faster).
// Memory: the engine's peak resident size, read before and after the transfers.
//
//   bench_ftpengine [--mib N] [--files N] [--rounds N] [--dir WORKDIR] [--only TEXT]
//                   [--huge-gib N]
// (--only runs the cases whose name holds TEXT; --huge-gib also moves a sparse file of
// N GiB and a few bytes down and up through the engine alone and checks its size and
// content, to show that sizes beyond 4 GiB pass).
#include "ftp/component/FtpEngine.h"
#include "support/PyFtpServer.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

using testing::PyFtpServer;

qint64 peakRssKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

bool writeFile(const QString& path, qint64 size, bool text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(4 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(7);
    if (text) {
        // Lines of printable text from 1 to 120 characters, LF ended.
        qsizetype i = 0;
        while (i < block.size()) {
            const int length = int(generator.bounded(1, 121));
            for (int k = 0; k < length && i < block.size() - 1; ++k)
                block[i++] = char(generator.bounded(32, 127));
            block[i++] = '\n';
        }
    } else {
        for (qsizetype i = 0; i < block.size(); i += 4)
            *reinterpret_cast<quint32*>(block.data() + i) = generator.generate();
    }
    for (qint64 done = 0; done < size; done += block.size()) {
        const qint64 n = std::min<qint64>(block.size(), size - done);
        if (file.write(block.constData(), n) != n)
            return false;
    }
    return true;
}

QByteArray sha256(const QString& path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return hash.result().toHex();
}

double bestSeconds(int rounds, const std::function<bool()>& run) {
    double best = -1;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!run())
            return -1;
        const double s = double(timer.nsecsElapsed()) / 1e9;
        if (best < 0 || s < best)
            best = s;
    }
    return best;
}

bool runCurl(const QStringList& arguments) {
    QProcess curl;
    curl.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    curl.setStandardOutputFile(QProcess::nullDevice());
    curl.start(QStringLiteral("curl"),
               QStringList{QStringLiteral("-sS"), QStringLiteral("--fail")} + arguments);
    if (!curl.waitForFinished(-1) || curl.exitStatus() != QProcess::NormalExit || curl.exitCode() != 0) {
        std::fprintf(stderr, "curl %s failed\n", qPrintable(arguments.join(u' ')));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qint64 mib = 1024;
    int files = 20'000;
    int rounds = 3;
    QString workDir;
    QString only;
    qint64 hugeGib = 0;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--mib")
            mib = args[i + 1].toLongLong();
        else if (args[i] == u"--files")
            files = args[i + 1].toInt();
        else if (args[i] == u"--rounds")
            rounds = args[i + 1].toInt();
        else if (args[i] == u"--dir")
            workDir = args[i + 1];
        else if (args[i] == u"--only")
            only = args[i + 1];
        else if (args[i] == u"--huge-gib")
            hugeGib = args[i + 1].toLongLong();
    }
    QTemporaryDir temp(workDir.isEmpty() ? QDir::tempPath() + QStringLiteral("/bench-ftp-XXXXXX")
                                         : workDir + QStringLiteral("/bench-ftp-XXXXXX"));
    if (!temp.isValid())
        return 1;
    const QString root = temp.filePath(QStringLiteral("root"));
    const QString local = temp.filePath(QStringLiteral("local"));
    QDir().mkpath(root + QStringLiteral("/many"));
    QDir().mkpath(root + QStringLiteral("/up"));
    QDir().mkpath(local);
    const qint64 size = mib * 1024 * 1024;
    std::printf("Preparing %lld MiB files and a folder of %d files in %s\n", mib, files,
                qPrintable(temp.path()));
    if (!writeFile(root + QStringLiteral("/big.bin"), size, false) ||
        !writeFile(root + QStringLiteral("/big.txt"), size, true) ||
        !writeFile(local + QStringLiteral("/up.bin"), size, false) ||
        !writeFile(local + QStringLiteral("/up.txt"), size, true))
        return 1;
    for (int i = 0; i < files; ++i) {
        QFile f(root +
                QStringLiteral("/many/file-%1-with-a-longer-name.dat").arg(i, 6, 10, QLatin1Char('0')));
        f.open(QIODevice::WriteOnly);
    }

    PyFtpServer server;
    if (server.start(root) == 0) {
        std::fprintf(stderr, "cannot start the server: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    const QString url = QStringLiteral("ftp://%1:%2@127.0.0.1:%3/")
                            .arg(PyFtpServer::kUser, PyFtpServer::kPassword)
                            .arg(server.port());
    const qint64 rssStart = peakRssKiB();

    // Every engine run is a whole session, as every curl run is.
    auto withEngine = [&](const std::function<void(ftp::FtpEngine&)>& work, bool mlsd = true) {
        try {
            ftp::FtpEngine engine;
            engine.setMlsdAllowed(mlsd);
            if (engine.Connect(server.serverName(), PyFtpServer::kUser, PyFtpServer::kPassword) != 0)
                return false;
            work(engine);
            engine.Close();
            return true;
        } catch (const ftp::FtpError& e) {
            std::fprintf(stderr, "engine: %s\n", qPrintable(e.message()));
            return false;
        }
    };

    struct Case {
        const char* name;
        std::function<bool()> engine;
        std::function<bool()> curl;
        std::function<bool()> check;
        double goal;
        qint64 bytes;
    };
    const QString engineOut = local + QStringLiteral("/engine.out");
    const QString curlOut = local + QStringLiteral("/curl.out");
    auto sameOutput = [&] {
        const bool same = sha256(engineOut) == sha256(curlOut) && !sha256(engineOut).isEmpty();
        QFile::remove(engineOut);
        QFile::remove(curlOut);
        return same;
    };
    auto sameAsLocal = [&](const QString& localName, const QString& remoteName, bool text) {
        return [&, localName, remoteName, text] {
            // In text mode pyftpdlib stores its own line end (LF): the same bytes again.
            const QByteArray expected = sha256(local + u'/' + localName);
            const bool ok = sha256(root + QStringLiteral("/up/") + remoteName) == expected;
            Q_UNUSED(text);
            return ok;
        };
    };
    int mode = 0;
    std::vector<Case> cases = {
        {"download binary",
         [&] {
             return withEngine([&](ftp::FtpEngine& e) {
                 mode = ftp::BinaryMode;
                 e.GetFile(QStringLiteral("/big.bin"), engineOut, mode);
             });
         },
         [&] {
             return runCurl({QStringLiteral("-o"), curlOut, url + QStringLiteral("big.bin")});
         },
         sameOutput, 1.0, size},
        {"download text",
         [&] {
             return withEngine([&](ftp::FtpEngine& e) {
                 mode = ftp::TextMode;
                 e.GetFile(QStringLiteral("/big.txt"), engineOut, mode);
             });
         },
         [&] {
             return runCurl(
                 {QStringLiteral("-B"), QStringLiteral("-o"), curlOut, url + QStringLiteral("big.txt")});
         },
         sameOutput, 0.9, size},
        {"upload binary",
         [&] {
             return withEngine([&](ftp::FtpEngine& e) {
                 mode = ftp::BinaryMode;
                 e.PutFile(local + QStringLiteral("/up.bin"), QStringLiteral("/up/"), mode);
             });
         },
         [&] {
             return runCurl(
                 {QStringLiteral("-T"), local + QStringLiteral("/up.bin"), url + QStringLiteral("up/")});
         },
         sameAsLocal(QStringLiteral("up.bin"), QStringLiteral("up.bin"), false), 1.0, size},
        {"upload text",
         [&] {
             return withEngine([&](ftp::FtpEngine& e) {
                 mode = ftp::TextMode;
                 e.PutFile(local + QStringLiteral("/up.txt"), QStringLiteral("/up/"), mode);
             });
         },
         [&] {
             return runCurl({QStringLiteral("-B"), QStringLiteral("--crlf"), QStringLiteral("-T"),
                             local + QStringLiteral("/up.txt"), url + QStringLiteral("up/")});
         },
         sameAsLocal(QStringLiteral("up.txt"), QStringLiteral("up.txt"), true), 0.9, size},
        {"list (MLSD)",
         [&] {
             return withEngine([&](ftp::FtpEngine& e) {
                 const auto names = e.GetDir(QStringLiteral("/many"));
                 if (!names || names->size() != files)
                     throw ftp::FtpError(QStringLiteral("listing incomplete"));
             });
         },
         [&] {
             return runCurl({QStringLiteral("-X"), QStringLiteral("MLSD"), url + QStringLiteral("many/")});
         },
         nullptr, 1.0, 0},
        {"list (LIST)",
         [&] {
             return withEngine(
                 [&](ftp::FtpEngine& e) {
                     const auto names = e.GetDir(QStringLiteral("/many"));
                     if (!names || names->size() != files)
                         throw ftp::FtpError(QStringLiteral("listing incomplete"));
                 },
                 false);
         },
         [&] { return runCurl({url + QStringLiteral("many/")}); }, nullptr, 1.0, 0},
    };

    std::printf("\n%-16s %10s %10s %10s %10s %8s %6s %s\n", "case", "engine s", "curl s", "engine MB/s",
                "curl MB/s", "ratio", "goal", "check");
    bool allMet = true;
    for (const Case& c : cases) {
        if (!only.isEmpty() && !QString::fromLatin1(c.name).contains(only))
            continue;
        // Alternate the clients round by round so that neither profits from a warmer cache.
        double engineBest = -1, curlBest = -1;
        bool ok = true;
        // A listing takes a fraction of a second: more rounds keep the noise down.
        const int caseRounds = c.bytes == 0 ? std::max(rounds, 10) : rounds;
        for (int r = 0; r < caseRounds && ok; ++r) {
            const double e = bestSeconds(1, c.engine);
            const double k = bestSeconds(1, c.curl);
            ok = e > 0 && k > 0;
            engineBest = engineBest < 0 ? e : std::min(engineBest, e);
            curlBest = curlBest < 0 ? k : std::min(curlBest, k);
            if (ok && c.check && r == 0) {
                // The engine's and curl's results must agree (checked on the first round).
                if (!c.check()) {
                    std::fprintf(stderr, "%s: engine and curl results differ\n", c.name);
                    ok = false;
                }
            }
        }
        if (!ok) {
            std::printf("%-16s failed\n", c.name);
            allMet = false;
            continue;
        }
        const double ratio = curlBest / engineBest;
        const double mb = double(c.bytes) / 1e6;
        std::printf("%-16s %10.3f %10.3f %10.1f %10.1f %8.2f %6.2f %s\n", c.name, engineBest, curlBest,
                    c.bytes ? mb / engineBest : 0.0, c.bytes ? mb / curlBest : 0.0, ratio, c.goal,
                    ratio >= c.goal ? "met" : "MISSED");
        allMet = allMet && ratio >= c.goal;
        QFile::remove(engineOut);
        QFile::remove(curlOut);
    }
    if (hugeGib > 0) {
        // A sparse file: zeros but for a marker at the very end.
        const qint64 hugeSize = hugeGib * 1024 * 1024 * 1024 + 123;
        QFile huge(root + QStringLiteral("/huge.bin"));
        if (!huge.open(QIODevice::WriteOnly) || !huge.resize(hugeSize - 5) || !huge.seek(hugeSize - 5) ||
            huge.write("TAIL!") != 5)
            return 1;
        huge.close();
        auto verify = [&](const QString& path) {
            QFile file(path);
            if (file.size() != hugeSize || !file.open(QIODevice::ReadOnly))
                return false;
            QByteArray chunk;
            for (qint64 done = 0; done < hugeSize - 5; done += chunk.size()) {
                chunk = file.read(std::min<qint64>(4 << 20, hugeSize - 5 - done));
                if (chunk.isEmpty() || chunk.count('\0') != chunk.size())
                    return false;
            }
            return file.read(5) == "TAIL!";
        };
        QElapsedTimer timer;
        timer.start();
        const bool down = withEngine([&](ftp::FtpEngine& e) {
            mode = ftp::BinaryMode;
            e.GetFile(QStringLiteral("/huge.bin"), engineOut, mode);
        });
        const double downSeconds = double(timer.nsecsElapsed()) / 1e9;
        const bool downOk = down && verify(engineOut);
        QFile::remove(root + QStringLiteral("/up/engine.out"));
        timer.restart();
        const bool up = downOk && withEngine([&](ftp::FtpEngine& e) {
                            mode = ftp::BinaryMode;
                            e.PutFile(engineOut, QStringLiteral("/up/"), mode);
                        });
        const double upSeconds = double(timer.nsecsElapsed()) / 1e9;
        const bool upOk = up && verify(root + QStringLiteral("/up/engine.out"));
        std::printf(
            "\n%lld GiB + 123 bytes: download %s in %.1f s, upload %s in %.1f s (size and content checked)\n",
            hugeGib, downOk ? "ok" : "FAILED", downSeconds, upOk ? "ok" : "FAILED", upSeconds);
        QFile::remove(engineOut);
        QFile::remove(root + QStringLiteral("/up/engine.out"));
        QFile::remove(root + QStringLiteral("/huge.bin"));
        allMet = allMet && downOk && upOk;
    }
    const qint64 rssEnd = peakRssKiB();
    std::printf(
        "\npeak RSS of the engine process: %lld KiB before the transfers, %lld KiB after (%lld MiB moved "
        "per transfer)\n",
        rssStart, rssEnd, mib);
    return allMet ? 0 : 2;
}
