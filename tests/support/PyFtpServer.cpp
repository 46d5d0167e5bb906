#include "support/PyFtpServer.h"

#include <QDeadlineTimer>
#include <QFile>

namespace testing {

namespace {

// Prints the chosen port on its first line, then serves until terminated.
const char kScript[] = R"PY(
import logging, socket, struct, sys, time
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

root = sys.argv[1]
authorizer = DummyAuthorizer()
authorizer.add_user(sys.argv[2], sys.argv[3], root, perm="elradfmwMT")
authorizer.add_anonymous(root, perm="elr")

mode, certificate = sys.argv[5], sys.argv[6]
if mode == "none":
    class Handler(FTPHandler):
        pass
else:
    from pyftpdlib.handlers import DTPHandler, TLS_FTPHandler

    class Handler(TLS_FTPHandler):
        certfile = certificate
        if mode == "cleardata":
            # Agrees to PROT P but keeps the data connections plain.
            dtp_handler = DTPHandler

        if mode == "clearonly":  # refuses PROT P: its files move in clear
            def ftp_PROT(self, line):
                self.respond("534 Not allowed.") if line.upper() == "P" else super().ftp_PROT(line)

        def handle(self):
            if mode == "implicit":
                self.secure_connection(self.ssl_context)
            super().handle()

class Quirky(Handler.dtp_handler):
    # The first download's data connection is reset once it has sent argv[8] bytes (0:
    # never; its session too with argv[12] "1"); with argv[9] "1" TLS data connections end
    # without TLS's close alert, with "2" they wait for the client's alert before they close.
    dropped = int(sys.argv[8]) == 0

    def __init__(self, sock, cmd_channel):
        if sys.argv[9] == "2":  # each TLS record at once, as vsftpd writes them
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        super().__init__(sock, cmd_channel)

    def use_sendfile(self):
        return Quirky.dropped and super().use_sendfile()

    def send(self, data):
        if not self.receive and not Quirky.dropped and self.tot_bytes_sent >= int(sys.argv[8]):
            Quirky.dropped = True
            if sys.argv[12] == "1":  # the whole session goes, without a word
                self.cmd_channel.close()
                return 0
            self._resp = ("426 Connection reset; transfer aborted.", logging.info)
            self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.close()
            return 0
        return super().send(data)

    def close(self):
        if sys.argv[9] == "2" and getattr(self, "_ssl_established", False):
            # As vsftpd: the close alert, then the TCP end only after the client's alert.
            try:
                self.socket.setblocking(True)
                self.socket.shutdown()  # pyOpenSSL: the close alert
                self.socket.recv(1)  # ends at the client's (ZeroReturnError)
            except Exception:
                pass
            self._ssl_established = False
        self._ssl_established = getattr(self, "_ssl_established", False) and sys.argv[9] != "1"
        super().close()

Handler.dtp_handler = Quirky

idle, noopCounts = int(sys.argv[10]), sys.argv[11] == "1"

class Watched(Handler):
    # Closes a session idle for argv[10] seconds (0: never) with a 421; with argv[11] "0"
    # NOOP does not count as activity, as on servers that count only real work.
    def on_connect(self):
        self._last = time.monotonic()
        idle and self.ioloop.call_every(0.1, self._check)

    def found_terminator(self):
        if noopCounts or b"".join(self._in_buffer).strip().upper() != b"NOOP":
            self._last = time.monotonic()
        super().found_terminator()

    def _check(self):
        if self.connected and time.monotonic() - self._last > idle:
            self._last = float("inf")
            self.respond("421 Control connection timed out.")
            self.close_when_done()

Handler = Watched
Handler.authorizer = authorizer
Handler.banner = "pyftpdlib ready."
Handler.auth_failed_timeout = 0
Handler.passive_ports = None

if sys.argv[4] != "1":
    logging.basicConfig(level=logging.CRITICAL)
server = FTPServer(("127.0.0.1", int(sys.argv[7])), Handler)
server.max_cons = 64
print(server.socket.getsockname()[1], flush=True)
server.serve_forever(handle_exit=True)
)PY";

} // namespace

PyFtpServer::PyFtpServer() = default;

PyFtpServer::~PyFtpServer() {
    stop();
}

namespace {
QString modeName(PyFtpServer::Tls tls) {
    switch (tls) {
    case PyFtpServer::Tls::Explicit:
        return QStringLiteral("explicit");
    case PyFtpServer::Tls::Implicit:
        return QStringLiteral("implicit");
    case PyFtpServer::Tls::ClearData:
        return QStringLiteral("cleardata");
    case PyFtpServer::Tls::ClearOnly:
        return QStringLiteral("clearonly");
    case PyFtpServer::Tls::None:
        break;
    }
    return QStringLiteral("none");
}
} // namespace

quint16 PyFtpServer::start(const QString& rootDir, Tls tls, const QString& certificate, quint16 port) {
    stop();
    error_.clear();
    const QString script = scriptDir_.filePath(QStringLiteral("pyftpd.py"));
    QFile file(script);
    if (!scriptDir_.isValid() || !file.open(QIODevice::WriteOnly) || file.write(kScript) < 0) {
        error_ = QStringLiteral("cannot write the server script");
        return 0;
    }
    file.close();

    const bool showLog = qEnvironmentVariableIntValue("TESSEL_PYFTPD_LOG") == 1;
    process_.setProgram(QStringLiteral("/usr/bin/python3"));
    process_.setArguments({QStringLiteral("-u"), script, rootDir, kUser, kPassword,
                           showLog ? QStringLiteral("1") : QStringLiteral("0"), modeName(tls), certificate,
                           QString::number(port), QString::number(dropAfter_),
                           QString::number(int(dataEnd_)),
                           QString::number(idle_.first),
                           idle_.second ? QStringLiteral("1") : QStringLiteral("0"),
                           dropSession_ ? QStringLiteral("1") : QStringLiteral("0")});
    process_.setProcessChannelMode(showLog ? QProcess::ForwardedErrorChannel : QProcess::SeparateChannels);
    if (!showLog)
        process_.setStandardErrorFile(QProcess::nullDevice());
    process_.start();
    if (!process_.waitForStarted(10'000)) {
        error_ = QStringLiteral("cannot start /usr/bin/python3: ") + process_.errorString();
        return 0;
    }
    QByteArray line;
    const QDeadlineTimer deadline(20'000);
    while (!line.contains('\n') && !deadline.hasExpired()) {
        if (process_.bytesAvailable() == 0 && !process_.waitForReadyRead(int(deadline.remainingTime()))) {
            if (process_.state() != QProcess::Running)
                break;
            continue;
        }
        line += process_.readAll();
    }
    bool ok = false;
    const uint reported = line.trimmed().toUInt(&ok);
    if (!ok || reported == 0 || reported > 65535) {
        error_ = QStringLiteral("the server did not report its port (is python3-pyftpdlib installed?)");
        stop();
        return 0;
    }
    port_ = static_cast<quint16>(reported);
    return port_;
}

void PyFtpServer::stop() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(5'000)) {
            process_.kill();
            process_.waitForFinished(5'000);
        }
    }
    port_ = 0;
}

bool PyFtpServer::isRunning() const {
    return process_.state() == QProcess::Running && port_ != 0;
}

QString PyFtpServer::serverName() const {
    return QStringLiteral("ftp://127.0.0.1:%1").arg(port_);
}

QString PyFtpServer::hostAndPort() const {
    return QStringLiteral("127.0.0.1:%1").arg(port_);
}

} // namespace testing
