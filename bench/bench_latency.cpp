// The FTP engine next to curl over a link with latency: the same server on 127.0.0.1 reached
// through a delay line of this benchmark's own (DelayLine.h), at each round trip asked for,
// in one run, each case as the median of alternating rounds (engine, curl, curl, engine, ...):
//   - connect and list the login folder (the engine as the window does it: Connect, then the
//     folders and the files of the login folder; curl: `curl ftp://user:pw@host:port/`);
//   - a sub-folder listed once connected;
//   - a 10 KiB download once connected.
// For the two steps once connected curl fetches two URLs in one invocation, so that the second
// reuses the connection, and its time is that of the second transfer (curl's time_total); for
// the first case it is the time_total of the one transfer. Neither includes curl's own start-up
// or its QUIT; the engine's times end when its call returns, before its QUIT too. Beside each
// time the commands each client sent (the engine's transcript, the "> " lines of `curl -v`),
// QUIT not counted.
// curl 7.88 waits a second before it opens a TLS data connection on a reused control connection
// (also on plain loopback): with --tls its download once connected is no fair reference.
//
// The delay line holds each chunk half the round trip in each direction; it cannot delay the
// TCP handshake, which the kernel completes at once: a real link adds about one round trip
// before every connection opens, to both clients.
//
//   bench_latency [--rtt 100,250] [--rounds 5] [--control-only 1] [--tls 1] [--ftp-url 1]
//                 [--dir WORKDIR]
// --control-only 1 delays the control connection only (the data connections go to the server
// directly). --tls 1 runs over explicit TLS ("ftpes://", the certificate accepted as the user
// would, next to `curl --ssl-reqd`); encrypted replies cannot be rewritten, so the data
// connections then go directly too. The engine is given the bare form "127.0.0.1:PORT" (TLS
// tried first) unless --ftp-url 1 gives it "ftp://127.0.0.1:PORT".
// The server: as bench_ftpengine (TESSEL_BENCH_FTPD names a start script taking PORT ROOTDIR,
// TESSEL_BENCH_USER / TESSEL_BENCH_PASSWORD its account; else pyftpdlib).
#include "BenchSupport.h"
#include "DelayLine.h"
#include "ftp/component/FtpEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cctype>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

using namespace benchsupport;

struct Options {
    QList<int> roundTripsMs{100, 250};
    int rounds = 5;
    bool controlOnly = false;
    bool tls = false;
    bool ftpUrl = false;
    QString workDir = QStringLiteral("/dev/shm");
};

// Where the clients connect (the delay line) and how.
struct Target {
    QString engineServer, url, user, password;
    bool tls = false;
    QString work; // a folder for transcripts and downloads
};

// One timed run of one client: seconds (negative: it failed) and the commands it sent.
struct Sample {
    double seconds = -1;
    int commands = -1;
};

Options parseOptions(const QStringList& args) {
    Options o;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        const QString& value = args[i + 1];
        if (args[i] == u"--rtt") {
            o.roundTripsMs.clear();
            for (const QString& part : value.split(u',', Qt::SkipEmptyParts))
                o.roundTripsMs.append(part.toInt());
        } else if (args[i] == u"--rounds") {
            o.rounds = std::max(1, value.toInt());
        } else if (args[i] == u"--control-only") {
            o.controlOnly = value != u"0";
        } else if (args[i] == u"--tls") {
            o.tls = value != u"0";
        } else if (args[i] == u"--ftp-url") {
            o.ftpUrl = value != u"0";
        } else if (args[i] == u"--dir") {
            o.workDir = value;
        }
    }
    return o;
}

// The served tree: a few folders and files, three links (to a file, to a folder, to
// nothing), a sub-folder of 20 files and 3 folders, and the 10 KiB file.
bool makeTree(const QString& root) {
    QDir dir;
    for (const char* folder : {"docs", "photos", "music", "sub/a", "sub/b", "sub/c"})
        dir.mkpath(root + u'/' + QLatin1String(folder));
    for (const char* name : {"readme.txt", "notes.txt", "docs/manual.txt"}) {
        QFile file(root + u'/' + QLatin1String(name));
        if (!file.open(QIODevice::WriteOnly) || file.write("hello world\n") != 12)
            return false;
    }
    for (int i = 0; i < 20; ++i) {
        QFile file(root + QStringLiteral("/sub/file-%1.txt").arg(i, 2, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly))
            return false;
    }
    QByteArray bytes(10 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(5);
    for (char& c : bytes)
        c = char(generator.bounded(256));
    QFile file(root + QStringLiteral("/file10k.bin"));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
           QFile::link(QStringLiteral("readme.txt"), root + QStringLiteral("/link-to-readme")) &&
           QFile::link(QStringLiteral("sub"), root + QStringLiteral("/link-to-sub")) &&
           QFile::link(QStringLiteral("nowhere"), root + QStringLiteral("/broken-link"));
}

// The commands in an engine transcript: the lines that are neither a reply (nor part of a
// multi-line one, RFC 959, 4.2) nor a note of the engine's own.
int commandsInTranscript(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    int commands = 0;
    QByteArray openReply; // "123" while a multi-line reply is being read
    for (QByteArray line : file.readAll().split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        // A line holding a comma is written as one quoted field ("331 User ok, password?").
        if (line.size() >= 2 && line.startsWith('"') && line.endsWith('"'))
            line = line.mid(1, line.size() - 2);
        if (line.isEmpty())
            continue;
        if (!openReply.isEmpty()) {
            if (line.startsWith(QByteArray(openReply + ' ')))
                openReply.clear();
            continue;
        }
        const bool reply = line.size() >= 3 && std::isdigit(uchar(line[0])) && std::isdigit(uchar(line[1])) &&
                           std::isdigit(uchar(line[2]));
        if (reply && line.size() > 3 && line[3] == '-')
            openReply = line.left(3);
        else if (!reply && !line.startsWith("# "))
            ++commands;
    }
    return commands;
}

// The commands in `curl -v` output ("> " lines, QUIT left out), from the transfer that
// reused the connection on when `reused` is set.
int commandsInCurlTrace(const QByteArray& trace, bool reused) {
    int commands = 0;
    bool counting = !reused;
    for (const QByteArray& line : trace.split('\n')) {
        if (line.contains("Re-using existing") || line.contains("Reusing existing"))
            counting = true;
        else if (counting && line.startsWith("> ") && !line.startsWith("> QUIT"))
            ++commands;
    }
    return commands;
}

std::unique_ptr<ftp::FtpEngine> connectedEngine(const Target& t, const QString& log) {
    auto engine = std::make_unique<ftp::FtpEngine>();
    // The test server's certificate is self-signed: accepted, as a user who checked it would.
    engine->setCertificatePrompt([](const ftp::CertificateQuestion&) {
        return ftp::CertificateAnswer{true, false};
    });
    // A server without TLS in the bare host form: the login in clear allowed, as a user who
    // knows the server would.
    engine->setClearTextPrompt([](const auto&) { return true; });
    engine->OpenLog(log, 0);
    if (const int result = engine->Connect(t.engineServer, t.user, t.password); result != 0) {
        std::fprintf(stderr, "engine: connect failed (%d): %s\n", result,
                     qPrintable(engine->lastError().message()));
        return nullptr;
    }
    return engine;
}

// What the window does once logged in or asked for a folder: its folders, then its files.
bool listAsTheWindowDoes(ftp::FtpEngine& engine, const QString& path) {
    const ftp::DirList folders = engine.GetDir(path, ftp::kFolderFlag);
    const ftp::DirList files = engine.GetDir(path);
    return folders.has_value() && files.has_value();
}

Sample engineLogin(const Target& t) {
    const QString log = t.work + QStringLiteral("/engine-login.log");
    Sample s;
    try {
        QElapsedTimer timer;
        timer.start();
        const auto engine = connectedEngine(t, log);
        if (!engine || !listAsTheWindowDoes(*engine, QString()))
            return s;
        s.seconds = double(timer.nsecsElapsed()) / 1e9;
        engine->CloseLog();
        engine->Close();
    } catch (const ftp::FtpError& e) {
        std::fprintf(stderr, "engine: %s\n", qPrintable(e.message()));
        return Sample{};
    }
    s.commands = commandsInTranscript(log);
    return s;
}

// Connects and lists the login folder as the window does, then times `step` alone.
Sample engineStep(const Target& t, const std::function<bool(ftp::FtpEngine&)>& step) {
    const QString log = t.work + QStringLiteral("/engine-step.log");
    Sample s;
    try {
        const auto engine = connectedEngine(t, t.work + QStringLiteral("/engine-login.log"));
        if (!engine || !listAsTheWindowDoes(*engine, QString()))
            return s;
        engine->OpenLog(log, 0); // the step's commands alone
        QElapsedTimer timer;
        timer.start();
        if (!step(*engine))
            return s;
        s.seconds = double(timer.nsecsElapsed()) / 1e9;
        engine->CloseLog();
        engine->Close();
    } catch (const ftp::FtpError& e) {
        std::fprintf(stderr, "engine: %s\n", qPrintable(e.message()));
        return Sample{};
    }
    s.commands = commandsInTranscript(log);
    return s;
}

// Runs curl on `transfers` (URL, output file, ...); the time_total of the last transfer, and
// the commands of that transfer alone when there are two.
Sample viaCurl(const Target& t, const QStringList& transfers) {
    QStringList args{QStringLiteral("-sS"), QStringLiteral("--fail"), QStringLiteral("-v"),
                     QStringLiteral("-w"), QStringLiteral("%{time_total}\\n")};
    if (t.tls)
        args << QStringLiteral("--ssl-reqd") << QStringLiteral("--insecure");
    for (qsizetype i = 0; i + 1 < transfers.size(); i += 2)
        args << transfers[i] << QStringLiteral("-o") << transfers[i + 1];
    QProcess curl;
    curl.start(QStringLiteral("curl"), args);
    if (!curl.waitForFinished(-1) || curl.exitStatus() != QProcess::NormalExit || curl.exitCode() != 0) {
        std::fprintf(stderr, "curl failed: %s\n", curl.readAllStandardError().constData());
        return {};
    }
    const QList<QByteArray> times = curl.readAllStandardOutput().trimmed().split('\n');
    return {times.last().toDouble(), commandsInCurlTrace(curl.readAllStandardError(), transfers.size() > 2)};
}

bool sameBytes(const QString& a, const QString& b) {
    QFile first(a), second(b);
    return first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly) &&
           first.readAll() == second.readAll();
}

// A download's sample, failed when the file fetched differs from the one served.
Sample checked(Sample s, const QString& fetched, const QString& served) {
    if (s.seconds >= 0 && !sameBytes(fetched, served)) {
        std::fprintf(stderr, "%s differs from the file served\n", qPrintable(fetched));
        s.seconds = -1;
    }
    QFile::remove(fetched);
    return s;
}

struct Case {
    const char* name;
    std::function<Sample()> engine, curl;
};

std::vector<Case> casesFor(const Target& t, const QString& root) {
    const QString engineOut = t.work + QStringLiteral("/engine.out");
    const QString curlOut = t.work + QStringLiteral("/curl.out");
    const QString served = root + QStringLiteral("/file10k.bin");
    const QString null = QProcess::nullDevice();
    return {
        {"connect + login folder listed", [t] { return engineLogin(t); },
         [t, null] {
             return viaCurl(t, {t.url, null});
         }},
        {"sub-folder listed once connected",
         [t] {
             return engineStep(
                 t, [](ftp::FtpEngine& e) { return listAsTheWindowDoes(e, QStringLiteral("/sub")); });
         },
         [t, null] {
             return viaCurl(t, {t.url, null, t.url + QStringLiteral("sub/"), null});
         }},
        {"10 KiB download once connected",
         [=] {
             return checked(engineStep(t,
                                       [&](ftp::FtpEngine& e) {
                                           int mode = ftp::BinaryMode;
                                           return e.GetFile(QStringLiteral("/file10k.bin"), engineOut,
                                                            mode) == 1;
                                       }),
                            engineOut, served);
         },
         [=] {
             return checked(viaCurl(t, {t.url, null, t.url + QStringLiteral("file10k.bin"), curlOut}),
                            curlOut, served);
         }},
    };
}

int medianCount(const std::vector<Sample>& samples) {
    std::vector<double> counts;
    for (const Sample& s : samples)
        counts.push_back(s.commands);
    return int(median(counts));
}

std::vector<double> secondsOf(const std::vector<Sample>& samples) {
    std::vector<double> seconds;
    for (const Sample& s : samples)
        seconds.push_back(s.seconds);
    return seconds;
}

// Runs `c` for `rounds` alternating rounds and prints its line; false when a run failed.
bool runCase(const Case& c, int rounds) {
    std::vector<Sample> engine, curl;
    for (int r = 0; r < rounds; ++r) {
        const bool engineFirst = r % 2 == 0;
        const Sample first = engineFirst ? c.engine() : c.curl();
        const Sample second = engineFirst ? c.curl() : c.engine();
        engine.push_back(engineFirst ? first : second);
        curl.push_back(engineFirst ? second : first);
        if (first.seconds < 0 || second.seconds < 0) {
            std::printf("%-34s failed\n", c.name);
            return false;
        }
    }
    const double e = median(secondsOf(engine)), k = median(secondsOf(curl));
    std::printf("%-34s %8.3f %8.3f %6.2f %5d / %-4d %4.0f %% / %3.0f %%  ", c.name, e, k, e / k,
                medianCount(engine), medianCount(curl), spreadPercent(secondsOf(engine)),
                spreadPercent(secondsOf(curl)));
    for (std::size_t r = 0; r < engine.size(); ++r)
        std::printf(" %.3f/%.3f", engine[r].seconds, curl[r].seconds);
    std::printf("\n");
    return true;
}

// Every case at one round trip through a delay line to `server`.
bool runAtRoundTrip(const Options& o, const BenchServer& server, const QString& root, const QString& work,
                    int roundTripMs) {
    const auto scope =
        o.controlOnly || o.tls ? bench::DelayLine::Scope::ControlOnly : bench::DelayLine::Scope::Everything;
    bench::DelayLine line(server.port(), roundTripMs / 2, scope);
    if (!line.start())
        return false;
    Target t;
    const QString hostPort = QStringLiteral("127.0.0.1:%1").arg(line.port());
    t.engineServer = (o.tls      ? QStringLiteral("ftpes://")
                      : o.ftpUrl ? QStringLiteral("ftp://")
                                 : QString()) +
                     hostPort;
    t.url = QStringLiteral("ftp://%1:%2@%3/").arg(server.user(), server.password(), hostPort);
    t.user = server.user();
    t.password = server.password();
    t.tls = o.tls;
    t.work = work;
    std::printf("\nround trip %d ms (%d ms each way, %s)%s\n", roundTripMs, roundTripMs / 2,
                scope == bench::DelayLine::Scope::Everything ? "control and data connections"
                                                             : "control connection only",
                o.tls ? ", explicit TLS" : "");
    std::printf("%-34s %8s %8s %6s %12s %15s   %s\n", "case", "engine s", "curl s", "ratio", "commands e/c",
                "spread e/c", "rounds engine/curl s");
    bool ok = true;
    for (const Case& c : casesFor(t, root))
        ok = runCase(c, o.rounds) && ok;
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each line as it comes, also into a file
    const Options o = parseOptions(app.arguments());
    QTemporaryDir temp(o.workDir + QStringLiteral("/bench-latency-XXXXXX"));
    const QString root = temp.filePath(QStringLiteral("root"));
    const QString work = temp.filePath(QStringLiteral("work"));
    if (!temp.isValid() || !QDir().mkpath(work) || !QDir().mkpath(root) || !makeTree(root)) {
        std::fprintf(stderr, "cannot prepare %s\n", qPrintable(temp.path()));
        return 1;
    }
    BenchServer server;
    server.tls = o.tls;
    if (!server.start(root)) {
        std::fprintf(stderr, "cannot start the server\n");
        return 1;
    }
    const QString ftpd = qEnvironmentVariable("TESSEL_BENCH_FTPD");
    std::printf("server: %s; engine given \"%s\"; medians of %d rounds\n",
                ftpd.isEmpty() ? "pyftpdlib" : qPrintable(QFileInfo(ftpd).fileName()),
                o.tls      ? "ftpes://HOST:PORT"
                : o.ftpUrl ? "ftp://HOST:PORT"
                           : "HOST:PORT",
                o.rounds);
    bool ok = true;
    for (const int roundTripMs : o.roundTripsMs)
        ok = runAtRoundTrip(o, server, root, work, roundTripMs) && ok;
    server.stop();
    return ok ? 0 : 1;
}
