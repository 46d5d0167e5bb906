// Throughput of the FTP engine next to curl against the same FTP server on 127.0.0.1, in
// one run, each case as the median of alternating rounds (engine, curl, curl, engine, ...):
//   - binary download, binary upload and text download of one large file;
//   - a listing of a folder of 20,000 files, the names filled into two list widgets as
//     the main window fills its remote lists (folders, then files), next to curl's LIST;
//   - a download over a link throttled to about 100 Mbit/s (tc on the loopback of a
//     network namespace the benchmark makes; needs root, ip and tc);
//   - the growth of the engine's peak resident size during a 4 GiB download (a sparse file);
//   - the loopback's single-stream ceiling (iperf3), measured in the same run.
// Beside each case: the processor time of each client, of the server when it is pinned
// (a server whose core is busy all along sets the pace for both clients), and for the
// downloads the time to write the same bytes from memory, which a client that reads the
// data into its own memory first cannot beat.
// Goals (engine time / curl time): download 0.5, upload 0.7, text download 0.6, listing 1.2.
// With --tls the binary download and upload run over explicit TLS ("ftpes://", the
// certificate accepted as the user would) next to `curl --ssl-reqd`; goal 1.0 each.
//
//   bench_ftpengine [--mib N] [--files N] [--rounds N] [--dir WORKDIR] [--only TEXT]
//                   [--huge-gib N] [--throttle-mbit N] [--tls 1]
// The server: TESSEL_BENCH_FTPD names a start script taking PORT ROOTDIR (for instance
// vsftpd's), with a stop script beside it named stop-* for start-*; the account comes from
// TESSEL_BENCH_USER and TESSEL_BENCH_PASSWORD. Without it pyftpdlib serves. Use a tmpfs
// (--dir /dev/shm) so that the disk does not set the pace. With TESSEL_BENCH_PIN=1 the
// server runs on CPU 0 and the clients (this program and curl) on CPU 1, so that neither
// client wins or loses by sharing a core with the server.
#include "ftp/component/FtpEngine.h"
#include "support/PyFtpServer.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
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

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

double timed(const std::function<bool()>& run) {
    QElapsedTimer timer;
    timer.start();
    return run() ? double(timer.nsecsElapsed()) / 1e9 : -1;
}

// Processor seconds spent so far: by this program (the engine), by the programs it has run and
// waited for (curl), and, when the server is pinned to CPU 0, on CPU 0 (the server).
struct CpuClock {
    double self = 0, children = 0, server = 0;

    static double seconds(const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; }

    static CpuClock now() {
        CpuClock c;
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        c.self = seconds(usage.ru_utime) + seconds(usage.ru_stime);
        getrusage(RUSAGE_CHILDREN, &usage);
        c.children = seconds(usage.ru_utime) + seconds(usage.ru_stime);
        QFile stat(QStringLiteral("/proc/stat"));
        if (stat.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : stat.readAll().split('\n')) {
                if (!line.startsWith("cpu0 "))
                    continue;
                // user nice system idle iowait irq softirq steal: busy is all but idle and iowait
                const QList<QByteArray> f = line.simplified().split(' ');
                for (int i : {1, 2, 3, 6, 7, 8})
                    c.server += f.value(i).toDouble();
                c.server /= double(sysconf(_SC_CLK_TCK));
            }
        }
        return c;
    }
};

struct Round {
    double seconds = -1, clientCpu = 0, serverCpu = 0;
};

Round measured(const std::function<bool()>& run) {
    const CpuClock before = CpuClock::now();
    Round r;
    r.seconds = timed(run);
    const CpuClock after = CpuClock::now();
    r.clientCpu = (after.self - before.self) + (after.children - before.children);
    r.serverCpu = after.server - before.server;
    return r;
}

// The least a download into `path` can take: writing `size` bytes there from memory.
bool writeFromMemory(const QString& path, qint64 size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray block(1024 * 1024, 'x');
    for (qint64 done = 0; done < size; done += block.size()) {
        const qint64 n = std::min<qint64>(block.size(), size - done);
        if (file.write(block.constData(), n) != n)
            return false;
    }
    return true;
}

// Runs a program to its end; its standard output, or nullopt when it failed.
std::optional<QByteArray> runProgram(const QString& program, const QStringList& arguments,
                                     const QString& outputFile = QString()) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (!outputFile.isEmpty())
        process.setStandardOutputFile(outputFile);
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "%s %s failed\n", qPrintable(program), qPrintable(arguments.join(u' ')));
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The server under test: a start script of the kind described above, or pyftpdlib.
class BenchServer {
public:
    ~BenchServer() { stop(); }
    // `prefix` runs the script inside a network namespace ("ip netns exec NAME").
    bool start(const QString& root, const QStringList& prefix = {}) {
        root_ = root;
        prefix_ = prefix;
        script_ = qEnvironmentVariable("TESSEL_BENCH_FTPD");
        if (script_.isEmpty()) {
            if (!prefix.isEmpty())
                return false; // pyftpdlib is started in this process's namespace only
            port_ = py_.start(root);
            user_ = PyFtpServer::kUser;
            password_ = PyFtpServer::kPassword;
            return port_ != 0;
        }
        user_ = qEnvironmentVariable("TESSEL_BENCH_USER", QStringLiteral("tessel"));
        password_ = qEnvironmentVariable("TESSEL_BENCH_PASSWORD", QStringLiteral("tessel-pw"));
        port_ = freePort();
        return run(script_, {QString::number(port_), root});
    }
    void stop() {
        if (script_.isEmpty() || root_.isEmpty())
            return;
        const QFileInfo start(script_);
        run(start.absolutePath() + u'/' +
                start.fileName().replace(QStringLiteral("start-"), QStringLiteral("stop-")),
            {root_});
        root_.clear();
    }
    quint16 port() const { return port_; }
    // Explicit TLS required for the engine (and --ssl-reqd for curl).
    bool tls = false;
    QString serverName() const {
        return (tls ? QStringLiteral("ftpes://127.0.0.1:%1") : QStringLiteral("ftp://127.0.0.1:%1"))
            .arg(port_);
    }
    QString url() const {
        return QStringLiteral("ftp://%1:%2@127.0.0.1:%3/").arg(user_, password_).arg(port_);
    }
    const QString& user() const { return user_; }
    const QString& password() const { return password_; }

private:
    bool run(const QString& program, const QStringList& arguments) {
        QStringList all = prefix_ + QStringList{program} + arguments;
        if (qEnvironmentVariable("TESSEL_BENCH_PIN") == u"1")
            all = QStringList{QStringLiteral("taskset"), QStringLiteral("-c"), QStringLiteral("0")} + all;
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(all.first(), all.mid(1));
        return process.waitForFinished(60'000) && process.exitCode() == 0;
    }
    PyFtpServer py_;
    QString script_, root_, user_, password_;
    QStringList prefix_;
    quint16 port_ = 0;
};

bool withEngine(const BenchServer& server, const std::function<void(ftp::FtpEngine&)>& work,
                bool mlsd = true) {
    try {
        ftp::FtpEngine engine;
        engine.setMlsdAllowed(mlsd);
        // The test server's certificate is self-signed: accepted, as a user who checked it would.
        engine.setCertificatePrompt([](const ftp::CertificateQuestion&) {
            return ftp::CertificateAnswer{true, false};
        });
        if (const int result = engine.Connect(server.serverName(), server.user(), server.password());
            result != 0) {
            std::fprintf(stderr, "engine: connect failed (%d): %s\n", result,
                         qPrintable(engine.lastError().message()));
            return false;
        }
        work(engine);
        engine.Close();
        return true;
    } catch (const ftp::FtpError& e) {
        std::fprintf(stderr, "engine: %s\n", qPrintable(e.message()));
        return false;
    }
}

// iperf3 on 127.0.0.1 for 3 s: the receiver's rate in Gbit/s.
double loopbackCeilingGbit() {
    const quint16 port = freePort();
    QProcess server;
    server.start(QStringLiteral("iperf3"),
                 {QStringLiteral("-s"), QStringLiteral("-1"), QStringLiteral("-B"),
                  QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(port)});
    if (!server.waitForStarted(5'000))
        return -1;
    QThread::msleep(300);
    const auto out =
        runProgram(QStringLiteral("iperf3"),
                   {QStringLiteral("-c"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                    QString::number(port), QStringLiteral("-t"), QStringLiteral("3"), QStringLiteral("-J")});
    server.waitForFinished(5'000);
    if (!out)
        return -1;
    const QJsonObject end = QJsonDocument::fromJson(*out).object().value(u"end").toObject();
    return end.value(u"sum_received").toObject().value(u"bits_per_second").toDouble() / 1e9;
}

int fetchOnce(const QStringList& args);
int putOnce(const QStringList& args);

} // namespace

int main(int argc, char** argv) {
    // One download through the engine, for the throttled case run inside the namespace and
    // for profiling:
    //   bench_ftpengine --fetch-once HOST:PORT USER PASSWORD REMOTE LOCAL [text]
    if (argc > 1 && qstrcmp(argv[1], "--fetch-once") == 0) {
        QCoreApplication app(argc, argv);
        return fetchOnce(app.arguments());
    }
    // One upload through the engine, to profile it apart from the rounds:
    //   bench_ftpengine --put-once HOST:PORT USER PASSWORD LOCAL REMOTEDIR
    if (argc > 1 && qstrcmp(argv[1], "--put-once") == 0) {
        QCoreApplication app(argc, argv);
        return putOnce(app.arguments());
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const bool pinned = qEnvironmentVariable("TESSEL_BENCH_PIN") == u"1";
    if (pinned) {
        cpu_set_t clients;
        CPU_ZERO(&clients);
        CPU_SET(1, &clients);
        sched_setaffinity(0, sizeof clients, &clients);
    }
    QApplication app(argc, argv);
    qint64 mib = 1024;
    int files = 20'000;
    int rounds = 3;
    QString workDir = QStringLiteral("/dev/shm");
    QString only;
    qint64 hugeGib = 4;
    int throttleMbit = 100;
    bool tls = false;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--mib")
            mib = args[i + 1].toLongLong();
        else if (args[i] == u"--files")
            files = args[i + 1].toInt();
        else if (args[i] == u"--rounds")
            rounds = std::max(3, args[i + 1].toInt());
        else if (args[i] == u"--dir")
            workDir = args[i + 1];
        else if (args[i] == u"--only")
            only = args[i + 1];
        else if (args[i] == u"--huge-gib")
            hugeGib = args[i + 1].toLongLong();
        else if (args[i] == u"--throttle-mbit")
            throttleMbit = args[i + 1].toInt();
        else if (args[i] == u"--tls")
            tls = args[i + 1] != u"0";
    }
    QTemporaryDir temp(workDir + QStringLiteral("/bench-ftp-XXXXXX"));
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
        !writeFile(local + QStringLiteral("/up.bin"), size, false))
        return 1;
    for (int i = 0; i < files; ++i) {
        QFile f(root +
                QStringLiteral("/many/file-%1-with-a-longer-name.dat").arg(i, 6, 10, QLatin1Char('0')));
        f.open(QIODevice::WriteOnly);
    }
    const double ceiling = loopbackCeilingGbit();

    BenchServer server;
    server.tls = tls;
    if (!server.start(root)) {
        std::fprintf(stderr, "cannot start the server\n");
        return 1;
    }
    const QString url = server.url();
    const QString engineOut = local + QStringLiteral("/engine.out");
    const QString curlOut = local + QStringLiteral("/curl.out");
    const QStringList curlTls =
        tls ? QStringList{QStringLiteral("--ssl-reqd"), QStringLiteral("--insecure")} : QStringList{};
    auto curl = [&](const QStringList& arguments) {
        return runProgram(QStringLiteral("curl"),
                          QStringList{QStringLiteral("-sS"), QStringLiteral("--fail")} + curlTls + arguments,
                          QProcess::nullDevice())
            .has_value();
    };
    auto sameOutput = [&] {
        const QByteArray engine = sha256(engineOut);
        return !engine.isEmpty() && engine == sha256(curlOut);
    };
    int mode = 0;
    QListWidget folders, names; // the remote lists, filled as the window fills them

    struct Case {
        const char* name;
        std::function<bool()> engine;
        std::function<bool()> curl;
        std::function<bool()> check;
        double goal; // engine time / curl time
        qint64 bytes;
        bool intoFile = false; // a download: the time to write its bytes from memory is its floor
    };
    const std::vector<Case> cases = {
        {"download binary",
         [&] {
             return withEngine(server, [&](ftp::FtpEngine& e) {
                 mode = ftp::BinaryMode;
                 e.GetFile(QStringLiteral("/big.bin"), engineOut, mode);
             });
         },
         [&] {
             return curl({QStringLiteral("-o"), curlOut, url + QStringLiteral("big.bin")});
         },
         sameOutput, tls ? 1.0 : 0.5, size, true},
        {"upload binary",
         [&] {
             return withEngine(server, [&](ftp::FtpEngine& e) {
                 mode = ftp::BinaryMode;
                 e.PutFile(local + QStringLiteral("/up.bin"), QStringLiteral("/up/"), mode);
             });
         },
         [&] {
             return curl(
                 {QStringLiteral("-T"), local + QStringLiteral("/up.bin"), url + QStringLiteral("up/")});
         },
         [&] {
             return sha256(root + QStringLiteral("/up/up.bin")) == sha256(local + QStringLiteral("/up.bin"));
         },
         tls ? 1.0 : 0.7, size},
        {"download text",
         [&] {
             return withEngine(server, [&](ftp::FtpEngine& e) {
                 mode = ftp::TextMode;
                 e.GetFile(QStringLiteral("/big.txt"), engineOut, mode);
             });
         },
         [&] {
             return curl(
                 {QStringLiteral("-B"), QStringLiteral("-o"), curlOut, url + QStringLiteral("big.txt")});
         },
         sameOutput, 0.6, size, true},
        {"list 2 lists",
         [&] {
             return withEngine(
                 server,
                 [&](ftp::FtpEngine& e) {
                     folders.clear();
                     names.clear();
                     if (const auto list = e.GetDir(QStringLiteral("/many"), ftp::kFolderFlag))
                         folders.addItems(*list);
                     if (const auto list = e.GetDir(QStringLiteral("/many")))
                         names.addItems(*list);
                     if (names.count() != files)
                         throw ftp::FtpError(QStringLiteral("listing incomplete"));
                 },
                 false);
         },
         [&] { return curl({url + QStringLiteral("many/")}); }, nullptr, 1.2, 0},
    };

    std::printf("\nloopback single stream (iperf3, 3 s): %.2f Gbit/s = %.0f MB/s\n", ceiling, ceiling * 125);
    std::printf("\n%-16s %9s %9s %11s %10s %7s %5s  %s\n", "case", "engine s", "curl s", "engine MB/s",
                "curl MB/s", "ratio", "goal", "spread (engine, curl)");
    bool allMet = true;
    for (const Case& c : cases) {
        if (!only.isEmpty() && !QString::fromLatin1(c.name).contains(only))
            continue;
        if (tls && !QString::fromLatin1(c.name).endsWith(u"binary"))
            continue;
        std::vector<double> engineTimes, curlTimes, floorTimes;
        std::vector<double> engineCpu, curlCpu, serverWithEngine, serverWithCurl;
        bool ok = true;
        // A listing takes a fraction of a second: more rounds keep the noise down.
        const int caseRounds = c.bytes == 0 ? std::max(rounds, 9) : rounds;
        // Each client's result is removed as soon as it is timed, so that each writes into pages
        // the system has just been given back rather than into fresh ones, whose first touch
        // costs a virtual machine far more, and in varying measure.
        const auto clearOutputs = [&] {
            QFile::remove(engineOut);
            QFile::remove(curlOut);
            QFile::remove(root + QStringLiteral("/up/up.bin"));
        };
        // A first round, not counted, checks that the two clients got the same result (the
        // engine last, so that an upload's check sees the engine's file).
        if (c.check) {
            ok = timed(c.curl) > 0 && timed(c.engine) > 0 && c.check();
            if (!ok)
                std::fprintf(stderr, "%s: engine and curl results differ\n", c.name);
            clearOutputs();
        }
        for (int r = 0; r < caseRounds && ok; ++r) {
            // Alternate which client goes first, so that neither profits from a warmer cache.
            const bool engineFirst = r % 2 == 0;
            const Round first = measured(engineFirst ? c.engine : c.curl);
            clearOutputs();
            const Round second = measured(engineFirst ? c.curl : c.engine);
            clearOutputs();
            const Round& e = engineFirst ? first : second;
            const Round& k = engineFirst ? second : first;
            ok = e.seconds > 0 && k.seconds > 0;
            engineTimes.push_back(e.seconds);
            curlTimes.push_back(k.seconds);
            engineCpu.push_back(e.clientCpu);
            curlCpu.push_back(k.clientCpu);
            serverWithEngine.push_back(e.serverCpu);
            serverWithCurl.push_back(k.serverCpu);
            if (ok && c.intoFile) { // into pages just given back, as the two clients wrote
                const QString floorFile = local + QStringLiteral("/floor.out");
                floorTimes.push_back(timed([&] { return writeFromMemory(floorFile, c.bytes); }));
                QFile::remove(floorFile);
            }
        }
        if (!ok) {
            std::printf("%-16s failed\n", c.name);
            allMet = false;
            continue;
        }
        const double e = median(engineTimes), k = median(curlTimes);
        const double ratio = e / k;
        const double mb = double(c.bytes) / 1e6;
        const auto spread = [](const std::vector<double>& v) {
            return (*std::max_element(v.begin(), v.end()) - *std::min_element(v.begin(), v.end())) /
                   median(v) * 100;
        };
        std::printf("%-16s %9.3f %9.3f %11.0f %10.0f %7.2f %5.2f  %3.0f %% %3.0f %%  %s\n", c.name, e, k,
                    c.bytes ? mb / e : 0.0, c.bytes ? mb / k : 0.0, ratio, c.goal, spread(engineTimes),
                    spread(curlTimes), ratio <= c.goal ? "met" : "MISSED");
        allMet = allMet && ratio <= c.goal;
        // The fastest round of each beside the medians: on a machine whose memory is slow at
        // times (a VM's fresh pages, for one), it shows what each client does when neither waits.
        std::printf("%16s %.3f / %.3f = %.2f\n",
                    "fastest rounds:", *std::min_element(engineTimes.begin(), engineTimes.end()),
                    *std::min_element(curlTimes.begin(), curlTimes.end()),
                    *std::min_element(engineTimes.begin(), engineTimes.end()) /
                        *std::min_element(curlTimes.begin(), curlTimes.end()));
        std::printf("%16s", "rounds:");
        for (std::size_t r = 0; r < engineTimes.size(); ++r)
            std::printf(" %.3f/%.3f", engineTimes[r], curlTimes[r]);
        std::printf("\n");
        // What bounds the case: the client's own processor time, the server's (its core is
        // busy all along when it sets the pace) and, for a download, writing the bytes alone.
        std::printf("%16s engine %.3f, curl %.3f", "cpu s:", median(engineCpu), median(curlCpu));
        if (pinned)
            std::printf("; server %.3f beside the engine, %.3f beside curl", median(serverWithEngine),
                        median(serverWithCurl));
        std::printf("\n");
        if (!floorTimes.empty())
            std::printf("%16s %.3f s to write the bytes from memory; engine / that %.2f\n",
                        "floor:", median(floorTimes), e / median(floorTimes));
    }
    server.stop();

    if (tls) { // the TLS run covers the two binary transfers only
        throttleMbit = 0;
        hugeGib = 0;
    }
    if (throttleMbit > 0 && (only.isEmpty() || only.contains(u"throttle"))) {
        // The same download over a loopback shaped by tc inside a namespace of our own.
        const QString ns = QStringLiteral("tessel-bench-%1").arg(QCoreApplication::applicationPid());
        const QStringList inNs{QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("exec"), ns};
        const qint64 shapedSize = 64 * 1024 * 1024;
        writeFile(root + QStringLiteral("/shaped.bin"), shapedSize, false);
        const bool made =
            runProgram(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("add"), ns})
                .has_value() &&
            runProgram(inNs.first(), inNs.mid(1) + QStringList{QStringLiteral("ip"), QStringLiteral("link"),
                                                               QStringLiteral("set"), QStringLiteral("lo"),
                                                               QStringLiteral("up")}) &&
            runProgram(inNs.first(),
                       inNs.mid(1) + QStringList{QStringLiteral("tc"), QStringLiteral("qdisc"),
                                                 QStringLiteral("add"), QStringLiteral("dev"),
                                                 QStringLiteral("lo"), QStringLiteral("root"),
                                                 QStringLiteral("tbf"), QStringLiteral("rate"),
                                                 QStringLiteral("%1mbit").arg(throttleMbit),
                                                 QStringLiteral("burst"), QStringLiteral("256kb"),
                                                 QStringLiteral("latency"), QStringLiteral("50ms")});
        BenchServer shaped;
        if (!made || !shaped.start(root, inNs)) {
            std::printf("\nthrottled download: skipped (needs root, ip, tc and TESSEL_BENCH_FTPD)\n");
        } else {
            std::vector<double> engineTimes, curlTimes;
            for (int r = 0; r < rounds; ++r) {
                const auto engine = [&] {
                    return runProgram(inNs.first(),
                                      inNs.mid(1) + QStringList{QCoreApplication::applicationFilePath(),
                                                                QStringLiteral("--fetch-once"),
                                                                shaped.serverName(), shaped.user(),
                                                                shaped.password(),
                                                                QStringLiteral("/shaped.bin"), engineOut})
                        .has_value();
                };
                const auto viaCurl = [&] {
                    return runProgram(inNs.first(),
                                      inNs.mid(1) + QStringList{QStringLiteral("curl"), QStringLiteral("-sS"),
                                                                QStringLiteral("--fail"),
                                                                QStringLiteral("-o"), curlOut,
                                                                shaped.url() + QStringLiteral("shaped.bin")})
                        .has_value();
                };
                const bool engineFirst = r % 2 == 0;
                const std::function<bool()> viaEngine = engine, curlRun = viaCurl;
                const double a = timed(engineFirst ? viaEngine : curlRun);
                const double b = timed(engineFirst ? curlRun : viaEngine);
                engineTimes.push_back(engineFirst ? a : b);
                curlTimes.push_back(engineFirst ? b : a);
            }
            const bool same = sameOutput();
            const double e = median(engineTimes), k = median(curlTimes);
            std::printf(
                "\nthrottled download (%d Mbit/s, %lld MiB): engine %.2f s (%.0f Mbit/s), curl %.2f s "
                "(%.0f Mbit/s), ratio %.2f, %s\n",
                throttleMbit, shapedSize >> 20, e, shapedSize * 8 / e / 1e6, k, shapedSize * 8 / k / 1e6,
                e / k, same ? "same bytes" : "BYTES DIFFER");
            QFile::remove(engineOut);
            QFile::remove(curlOut);
        }
        shaped.stop();
        runProgram(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("del"), ns});
        QFile::remove(root + QStringLiteral("/shaped.bin"));
    }

    if (hugeGib > 0 && (only.isEmpty() || only.contains(u"huge"))) {
        // A sparse file (zeros but for a marker at the end) fetched through the engine:
        // the peak resident size before and after shows what the transfer costs in memory.
        const qint64 hugeSize = hugeGib * 1024 * 1024 * 1024 + 123;
        QFile huge(root + QStringLiteral("/huge.bin"));
        if (!huge.open(QIODevice::WriteOnly) || !huge.resize(hugeSize - 5) || !huge.seek(hugeSize - 5) ||
            huge.write("TAIL!") != 5)
            return 1;
        huge.close();
        BenchServer again;
        if (!again.start(root))
            return 1;
        const qint64 before = peakRssKiB();
        QElapsedTimer timer;
        timer.start();
        const bool down = withEngine(again, [&](ftp::FtpEngine& e) {
            mode = ftp::BinaryMode;
            e.GetFile(QStringLiteral("/huge.bin"), engineOut, mode);
        });
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        const qint64 after = peakRssKiB();
        const bool sized = QFileInfo(engineOut).size() == hugeSize;
        std::printf("\n%lld GiB + 123 bytes download: %s in %.1f s (%.0f MB/s); peak RSS %lld -> %lld KiB "
                    "(+%.1f MiB, goal 16 MiB) %s\n",
                    hugeGib, down && sized ? "ok" : "FAILED", seconds, hugeSize / seconds / 1e6, before,
                    after, (after - before) / 1024.0, after - before <= 16 * 1024 ? "met" : "MISSED");
        allMet = allMet && down && sized && after - before <= 16 * 1024;
        QFile::remove(engineOut);
        QFile::remove(root + QStringLiteral("/huge.bin"));
    }
    return allMet ? 0 : 2;
}

namespace {

// One transfer through the engine, for --fetch-once and --put-once: args are the program,
// the option, HOST:PORT, USER, PASSWORD, then what `transfer` takes.
int onceThroughEngine(const QStringList& args, const std::function<void(ftp::FtpEngine&)>& transfer) {
    if (args.size() < 7)
        return 1;
    try {
        ftp::FtpEngine engine;
        if (engine.Connect(args[2], args[3], args[4]) != 0)
            return 1;
        transfer(engine);
        engine.Close();
        return 0;
    } catch (const ftp::FtpError& e) {
        std::fprintf(stderr, "engine: %s\n", qPrintable(e.message()));
        return 1;
    }
}

int fetchOnce(const QStringList& args) {
    return onceThroughEngine(args, [&](ftp::FtpEngine& engine) {
        int mode = args.value(7) == u"text" ? ftp::TextMode : ftp::BinaryMode;
        engine.GetFile(args[5], args[6], mode);
    });
}

int putOnce(const QStringList& args) {
    return onceThroughEngine(args, [&](ftp::FtpEngine& engine) {
        int mode = ftp::BinaryMode;
        engine.PutFile(args[5], args[6], mode);
    });
}

} // namespace
