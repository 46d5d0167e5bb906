#pragma once
// Helpers the benchmarks share: medians, timing, running a program, and the FTP server
// under test (a start script named by TESSEL_BENCH_FTPD, else pyftpdlib).
#include "support/PyFtpServer.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

namespace benchsupport {

using testing::PyFtpServer;

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

inline double timed(const std::function<bool()>& run) {
    QElapsedTimer timer;
    timer.start();
    return run() ? double(timer.nsecsElapsed()) / 1e9 : -1;
}

// Runs a program to its end; its standard output, or nullopt when it failed.
inline std::optional<QByteArray> runProgram(const QString& program, const QStringList& arguments,
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

inline quint16 freePort() {
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

// The spread of `values` (largest less smallest) in percent of their median.
inline double spreadPercent(const std::vector<double>& values) {
    if (values.empty())
        return 0;
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return (*high - *low) / median(values) * 100;
}

} // namespace benchsupport
