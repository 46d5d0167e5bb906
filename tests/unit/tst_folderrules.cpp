// The rules of folder transfers that need no server: times and their precisions, the date
// columns a LIST line keeps, the remote walk over scripted listings (links, loops, depth,
// names) and the mirror's comparison.
#include "ftp/component/ListingParser.h"
#include "ftp/folders/FileTimes.h"
#include "ftp/folders/FolderWalk.h"
#include "ftp/folders/MirrorPlan.h"

#include <QTest>
#include <QTimeZone>

using namespace ftp::folders;
using ftp::EntryKind;
using ftp::FolderListing;
using ftp::ListEntry;
using Action = TransferJob::Action;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(TimePrecision)

namespace {

const QDateTime kNow(QDate(2026, 3, 10), QTime(12, 0), Qt::UTC);

QDateTime utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

// A server as listings by folder path; LIST lines, so that links show their targets.
using Tree = QMap<QString, QStringList>;

FolderLister listerOf(const Tree& tree, QStringList* listed = nullptr) {
    return [tree, listed](const QString& path, bool) {
        if (listed)
            listed->append(path);
        if (!tree.contains(path))
            throw ftp::FtpError(QStringLiteral("550 no such folder"),
                                ftp::FailureDetail(ftp::FailureKind::Refused));
        FolderListing listing;
        for (const QString& line : tree.value(path))
            listing.entries.append(*ftp::parseListLine(line));
        return listing;
    };
}

QString dir(const QString& name) {
    return QStringLiteral("drwxr-xr-x 2 u g 4096 Jan  5 12:34 ") + name;
}
QString file(const QString& name) {
    return QStringLiteral("-rw-r--r-- 1 u g 10 Jan  5 12:34 ") + name;
}
QString link(const QString& name, const QString& target) {
    return QStringLiteral("lrwxrwxrwx 1 u g 4 Jan  5 12:34 ") + name + QStringLiteral(" -> ") + target;
}

// The jobs as "L shown" (a local folder), "D shown" (a download) or "! shown: cause".
QStringList described(const JobList& jobs) {
    QStringList lines;
    for (const TransferJob& job : jobs) {
        if (job.state == TransferJob::State::Failed)
            lines.append(QStringLiteral("! ") + job.shown + QStringLiteral(": ") + job.cause);
        else
            lines.append((job.action == Action::Download ? QStringLiteral("D ") : QStringLiteral("L ")) +
                         job.shown);
    }
    return lines;
}

TransferJob upload(const QString& shown, qint64 size, const FileTime& time) {
    TransferJob job;
    job.action = Action::Upload;
    job.shown = shown;
    job.source = QStringLiteral("/local/") + shown;
    job.size = size;
    job.time = time;
    return job;
}

TransferJob listed(const QString& shown, qint64 size, const FileTime& time) {
    TransferJob job;
    job.action = Action::Download;
    job.shown = shown;
    job.source = QStringLiteral("/pub/") + shown;
    job.size = size;
    job.time = time;
    return job;
}

} // namespace

class FolderRulesTest : public QObject {
    Q_OBJECT
private slots:
    // MLSD and MDTM stamps, and LIST lines read through the parser and then for their date.
    void times_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("machine");
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<TimePrecision>("precision");
        const auto s = TimePrecision::Second, m = TimePrecision::Minute, d = TimePrecision::Day;
        const QString plainFile = u"-rw-r--r--   1 ftp ftp  12 "_s;
        QTest::newRow("MLSD modify") << u"20240501102030"_s << true << utc(2024, 5, 1, 10, 20, 30) << s;
        QTest::newRow("MDTM with fraction")
            << u"20240501102030.123"_s << true << utc(2024, 5, 1, 10, 20, 30) << s;
        QTest::newRow("not a time") << u"2024050110"_s << true << QDateTime() << TimePrecision::None;
        QTest::newRow("this year") << plainFile + u"Jan  5 12:34 a b"_s << false << utc(2026, 1, 5, 12, 34)
                                   << m;
        // A date later than now in this year is last year's.
        QTest::newRow("last year") << plainFile + u"Dec 24 08:00 a"_s << false << utc(2025, 12, 24, 8, 0)
                                   << m;
        QTest::newRow("old") << u"drwxr-xr-x 2 0 0 4096 Jan 05  2019 old"_s << false << utc(2019, 1, 5) << d;
        QTest::newRow("Japanese") << plainFile + u"3月 1日 09:15 a"_s << false << utc(2026, 3, 1, 9, 15) << m;
        QTest::newRow("Japanese year")
            << plainFile + u"12月 24日 2019年 a"_s << false << utc(2019, 12, 24) << d;
        QTest::newRow("ISO") << plainFile + u"2024-05-01 10:20 x"_s << false << utc(2024, 5, 1, 10, 20) << m;
        QTest::newRow("IIS afternoon")
            << u"05-01-24  02:20PM                 12 readme.txt"_s << false << utc(2024, 5, 1, 14, 20) << m;
        QTest::newRow("IIS folder at midnight")
            << u"05-01-24  12:05AM       <DIR>          sub"_s << false << utc(2024, 5, 1, 0, 5) << m;
    }
    void times() {
        QFETCH(QString, text);
        QFETCH(bool, machine);
        QFETCH(QDateTime, time);
        QFETCH(TimePrecision, precision);
        const FileTime parsed =
            machine ? machineTime(text) : listedTime(ftp::parseListLine(text)->listedTime, kNow);
        QCOMPARE(parsed.precision, precision);
        QCOMPARE(parsed.utc, time);
    }

    void sameTimes_data() {
        QTest::addColumn<FileTime>("a");
        QTest::addColumn<FileTime>("b");
        QTest::addColumn<int>("same"); // 1, 0, -1 = unknown
        const auto s = TimePrecision::Second, m = TimePrecision::Minute, d = TimePrecision::Day;
        QTest::newRow("equal seconds")
            << FileTime{utc(2024, 1, 1, 1, 2, 3), s} << FileTime{utc(2024, 1, 1, 1, 2, 3), s} << 1;
        QTest::newRow("a second apart")
            << FileTime{utc(2024, 1, 1, 1, 2, 3), s} << FileTime{utc(2024, 1, 1, 1, 2, 4), s} << 0;
        QTest::newRow("minute listing")
            << FileTime{utc(2024, 1, 1, 1, 2, 59), s} << FileTime{utc(2024, 1, 1, 1, 2), m} << 1;
        QTest::newRow("next minute") << FileTime{utc(2024, 1, 1, 1, 3, 0), s}
                                     << FileTime{utc(2024, 1, 1, 1, 2), m} << 0;
        QTest::newRow("day listing") << FileTime{utc(2019, 1, 5, 23, 0), s} << FileTime{utc(2019, 1, 5), d}
                                     << 1;
        // In UTC whatever zone the local time was read in.
        QTest::newRow("zones") << FileTime{QDateTime(QDate(2024, 1, 1), QTime(10, 0), QTimeZone(9 * 3600)), s}
                               << FileTime{utc(2024, 1, 1, 1, 0), s} << 1;
        QTest::newRow("unknown") << FileTime{utc(2024, 1, 1), s} << FileTime{} << -1;
    }
    void sameTimes() {
        QFETCH(FileTime, a);
        QFETCH(FileTime, b);
        QFETCH(int, same);
        const std::optional<bool> result = sameTime(a, b);
        QCOMPARE(result.has_value() ? int(*result) : -1, same);
        QCOMPARE(sameTime(b, a), result);
    }

    void walks_data() {
        QTest::addColumn<Tree>("tree");
        QTest::addColumn<QStringList>("jobs");
        QTest::addColumn<int>("listings");
        QTest::newRow("nested, empty folder")
            << Tree{{u"/t"_s, {file(u"a"_s), dir(u"empty"_s), dir(u"sub"_s)}},
                    {u"/t/empty"_s, {}},
                    {u"/t/sub"_s, {file(u"b"_s)}}}
            << QStringList{u"L t/"_s, u"D t/a"_s, u"L t/empty/"_s, u"L t/sub/"_s, u"D t/sub/b"_s} << 3;
        QTest::newRow("loop up the tree")
            << Tree{{u"/t"_s, {dir(u"sub"_s)}},
                    {u"/t/sub"_s, {link(u"up"_s, u".."_s), link(u"self"_s, u"."_s), file(u"x"_s)}}}
            << QStringList{u"L t/"_s, u"L t/sub/"_s, u"D t/sub/x"_s} << 2;
        QTest::newRow("absolute loop") << Tree{{u"/t"_s, {link(u"again"_s, u"/t/"_s), file(u"x"_s)}}}
                                       << QStringList{u"L t/"_s, u"D t/x"_s} << 1;
        // Followed once: the second link to the same folder, and the folder itself met
        // after its link, are not walked again.
        QTest::newRow("two links to one folder")
            << Tree{{u"/t"_s, {link(u"l1"_s, u"/data"_s), link(u"l2"_s, u"/data/"_s)}},
                    {u"/t/l1"_s, {file(u"d"_s)}},
                    {u"/data"_s, {}}}
            << QStringList{u"L t/"_s, u"L t/l1/"_s, u"D t/l1/d"_s} << 2;
        QTest::newRow("folder before its link")
            << Tree{{u"/t"_s, {link(u"a-link"_s, u"real"_s), dir(u"real"_s)}},
                    {u"/t/real"_s, {file(u"r"_s)}},
                    {u"/t/a-link"_s, {file(u"r"_s)}}}
            << QStringList{u"L t/"_s, u"L t/real/"_s, u"D t/real/r"_s} << 2;
        // A link the server will not enter is a file (or a broken link, which its download reports).
        QTest::newRow("link to a file") << Tree{{u"/t"_s, {link(u"f"_s, u"a"_s), file(u"a"_s)}}}
                                        << QStringList{u"L t/"_s, u"D t/a"_s, u"D t/f"_s} << 2;
        QTest::newRow("names") << Tree{{u"/t"_s,
                                        {file(u".."_s), file(u"ok"_s),
                                         file(QStringLiteral("bad\u202Etxt.exe")), file(u"tab\there"_s)}}}
                               << QStringList{u"L t/"_s, u"! t/..: "_s + unsafeNameCause(),
                                              u"! t/bad\u202Etxt.exe: "_s + unsafeNameCause(), u"D t/ok"_s,
                                              u"! t/tab\there: "_s + unsafeNameCause()}
                               << 1;
        QTest::newRow("no such folder") << Tree{} << QStringList{u"! t/: 550 no such folder"_s} << 1;
    }
    void walks() {
        QFETCH(Tree, tree);
        QFETCH(QStringList, jobs);
        QFETCH(int, listings);
        QStringList listed;
        RemoteWalk walk(
            listerOf(tree, &listed), [](const std::exception& e) { return QString::fromUtf8(e.what()); },
            kNow);
        walk.addFolder(QStringLiteral("/t"), QStringLiteral("/dl"));
        QCOMPARE(described(walk.jobs()), jobs);
        QCOMPARE(listed.size(), listings);
    }

    void walkStopsAtTheDepthLimit() {
        // Every folder holds one deeper, by the unique facts a following server gives.
        const FolderLister endless = [](const QString& path, bool) {
            FolderListing listing;
            ListEntry deeper(QStringLiteral("d"), EntryKind::Folder);
            deeper.unique = path;
            listing.entries.append(deeper);
            return listing;
        };
        RemoteWalk walk(
            endless, [](const std::exception&) { return QString(); }, kNow);
        walk.addFolder(QStringLiteral("/t"), QStringLiteral("/dl"));
        const JobList& jobs = walk.jobs();
        QCOMPARE(jobs.size(), kMaxDepth + 1);
        QCOMPARE(jobs.last().cause, tooDeepCause());
        QCOMPARE(jobs.at(kMaxDepth - 1).shown.count(u'/'), kMaxDepth); // "t/d/.../d/"
    }

    void aLinkBackToTheRealTopIsNotFollowed() {
        // The top reached through a link: the server tells its real path, the loop points there.
        const FolderLister lister = [](const QString& path, bool identify) {
            FolderListing listing;
            listing.realPath = identify ? u"/real/t"_s : QString();
            listing.entries.append(*ftp::parseListLine(link(u"again"_s, u"/real/t"_s)));
            if (path != u"/via-link/t"_s)
                throw ftp::FtpError(u"walked into the loop"_s);
            return listing;
        };
        RemoteWalk walk(
            lister, [](const std::exception& e) { return QString::fromUtf8(e.what()); }, kNow);
        walk.addFolder(u"/via-link/t"_s, u"/dl"_s);
        QCOMPARE(described(walk.jobs()), QStringList{u"L t/"_s});
    }

    void mirror_data() {
        QTest::addColumn<JobList>("local");
        QTest::addColumn<JobList>("remote");
        QTest::addColumn<bool>("deleting");
        QTest::addColumn<QStringList>("planned");
        const FileTime t{utc(2024, 5, 1, 10, 20, 30), TimePrecision::Second};
        const FileTime later{utc(2024, 5, 1, 10, 21, 30), TimePrecision::Second};
        const FileTime sameMinute{utc(2024, 5, 1, 10, 20), TimePrecision::Minute};
        TransferJob folder;
        folder.action = Action::RemoteFolder;
        folder.shown = QStringLiteral("s/new/");
        TransferJob remoteFolder;
        remoteFolder.action = Action::LocalFolder;
        remoteFolder.shown = QStringLiteral("s/");
        TransferJob topFolder = folder;
        topFolder.shown = QStringLiteral("s/");
        QTest::newRow("new, changed, unchanged")
            << JobList{topFolder, upload(u"s/a"_s, 3, t),    upload(u"s/b"_s, 3, t), upload(u"s/c"_s, 4, t),
                       folder,    upload(u"s/new/d"_s, 1, t)}
            << JobList{remoteFolder, listed(u"s/a"_s, 3, t), listed(u"s/b"_s, 3, later),
                       listed(u"s/c"_s, 5, t)}
            << false
            << QStringList{u"更新 s/b"_s, u"更新 s/c"_s, u"新規フォルダ s/new/"_s, u"新規 s/new/d"_s};
        QTest::newRow("minute listing, unknown time")
            << JobList{upload(u"s/a"_s, 3, t), upload(u"s/b"_s, 3, t)}
            << JobList{listed(u"s/a"_s, 3, sameMinute), listed(u"s/b"_s, 3, FileTime{})} << false
            << QStringList{};
        QTest::newRow("remote-only kept")
            << JobList{upload(u"s/a"_s, 3, t)} << JobList{listed(u"s/a"_s, 3, t), listed(u"s/gone"_s, 1, t)}
            << false << QStringList{};
        QTest::newRow("remote-only deleted when asked")
            << JobList{upload(u"s/a"_s, 3, t)} << JobList{listed(u"s/a"_s, 3, t), listed(u"s/gone"_s, 1, t)}
            << true << QStringList{u"削除 s/gone"_s};
        QTest::newRow("no remote folder") << JobList{topFolder, upload(u"s/a"_s, 3, t)}
                                          << JobList{failedJob(Action::LocalFolder, u"s/"_s, u"550"_s)}
                                          << true << QStringList{u"新規フォルダ s/"_s, u"新規 s/a"_s};
    }
    void mirror() {
        QFETCH(JobList, local);
        QFETCH(JobList, remote);
        QFETCH(bool, deleting);
        QFETCH(QStringList, planned);
        QStringList lines;
        for (const TransferJob& job : MirrorPlan(local, remote).jobs(deleting))
            lines.append(job.reason + u' ' + job.shown);
        QCOMPARE(lines, planned);
    }

    void mirrorAsksTheTimeOnlyWhereTheListingIsTooCoarse() {
        const FileTime t{utc(2024, 5, 1, 10, 20, 30), TimePrecision::Second};
        const FileTime minute{utc(2024, 5, 1, 10, 20), TimePrecision::Minute};
        MirrorPlan plan({upload(u"s/a"_s, 3, t), upload(u"s/b"_s, 3, t), upload(u"s/c"_s, 9, t)},
                        {listed(u"s/a"_s, 3, minute), listed(u"s/b"_s, 3, t), listed(u"s/c"_s, 3, minute)});
        QCOMPARE(plan.filesWantingTime(), QStringList{QStringLiteral("/pub/s/a")});
        QCOMPARE(plan.jobs(false).size(), 1); // c, by its size
        // MDTM tells a time a second off: then the file differs.
        plan.setRemoteTime(QStringLiteral("/pub/s/a"), machineTime(QStringLiteral("20240501102031")));
        QCOMPARE(plan.jobs(false).size(), 2);
        QCOMPARE(plan.jobs(false).first().shown, QStringLiteral("s/a"));
    }

    void normalizedPaths() {
        QCOMPARE(normalizedRemotePath(u"/a/./b/../c/"_s), u"/a/c"_s);
        QCOMPARE(normalizedRemotePath(u"/../../x"_s), u"/x"_s);
    }
};

QTEST_APPLESS_MAIN(FolderRulesTest)
#include "tst_folderrules.moc"
