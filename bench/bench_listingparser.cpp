// Time of the listing parser on hostile LIST lines: DOS-looking lines with long runs of
// blanks, which once took time growing with the square of the run's length. Printed per
// case: the input size, the time, and the rate in MB/s; a linear parser keeps the rate
// about the same from the short case to the long one.
//
//   bench_listingparser [--mib N]   (size of the large inputs, 20 by default)
#include "ftp/component/ListingParser.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>

namespace {

void run(const char* name, const QByteArray& listing) {
    QElapsedTimer timer;
    timer.start();
    ftp::ListingParser parser(ftp::ListingFormat::List,
                              [](QByteArrayView line) { return QString::fromLatin1(line); });
    parser.feed(listing);
    parser.finish();
    const double seconds = std::max<qint64>(timer.nsecsElapsed(), 1) / 1e9;
    std::printf("%-40s %10.1f MB %9.3f s %9.1f MB/s  (%lld entries)\n", name, listing.size() / 1e6, seconds,
                listing.size() / 1e6 / seconds, static_cast<long long>(parser.entries().size()));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--mib"));
    const qsizetype mib = at >= 0 && at + 1 < args.size() ? args.at(at + 1).toLongLong() : 20;

    const QByteArray blankLine = "1-1-11 1:11" + QByteArray(65'000, ' ') + "x\r\n";
    run("one DOS line, 65,000 blanks, no size", blankLine);
    run("DOS lines of 65,000 blanks", blankLine.repeated(mib * 1024 * 1024 / blankLine.size()));
    const QByteArray shortLine = "1-1-11 1:11" + QByteArray(60, ' ') + "x\r\n";
    run("DOS lines of 60 blanks", shortLine.repeated(mib * 1024 * 1024 / shortLine.size()));
    const QByteArray named = "12-07-26  08:13PM                   12 " + QByteArray(65'000, ' ') + "x\r\n";
    run("DOS files, name of 65,000 blanks", named.repeated(mib * 1024 * 1024 / named.size()));
    const QByteArray normal = "12-07-26  08:13PM                   12 readme.txt\r\n";
    run("ordinary DOS lines", normal.repeated(mib * 1024 * 1024 / normal.size()));
    const QByteArray unixLine = "-rw-r--r--    1 0        0               0 Dec 08 18:51 file-019310-with-a-longer-name.dat\r\n";
    run("ordinary Unix lines (vsftpd)", unixLine.repeated(mib * 1024 * 1024 / unixLine.size()));
    return 0;
}
