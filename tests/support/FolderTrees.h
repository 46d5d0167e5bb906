#pragma once
// A folder tree for folder-transfer tests: nested folders, an empty one, Japanese names and
// a link loop; and the tree of a folder as a sorted list of relative paths.

#include "support/Files.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTest>

namespace testing {

// Every file and folder below `root` ("a/", "a/b.txt"), links left out, sorted.
inline QStringList treeOf(const QString& root) {
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        if (info.isSymLink())
            continue;
        const QString relative = QDir(root).relativeFilePath(info.filePath());
        paths.append(info.isDir() ? relative + u'/' : relative);
    }
    paths.sort();
    return paths;
}

inline void makeTree(const QString& root) {
    QDir dir(root);
    QVERIFY(dir.mkpath(QStringLiteral("tree/空のフォルダ")));
    QVERIFY(dir.mkpath(QStringLiteral("tree/日本語")));
    QVERIFY(dir.mkpath(QStringLiteral("tree/sub/deep")));
    writeAll(dir.filePath(QStringLiteral("tree/a.txt")), "alpha\n");
    writeAll(dir.filePath(QStringLiteral("tree/日本語/ファイル.bin")), testing::randomBytes(70'000, 3));
    writeAll(dir.filePath(QStringLiteral("tree/sub/deep/x.bin")), testing::randomBytes(1000, 4));
    // A link back up the tree: followed, it would never end.
    QVERIFY(QFile::link(QStringLiteral(".."), dir.filePath(QStringLiteral("tree/sub/loop"))));
}

inline const QStringList kTree = {QStringLiteral("tree/"),
                                  QStringLiteral("tree/a.txt"),
                                  QStringLiteral("tree/sub/"),
                                  QStringLiteral("tree/sub/deep/"),
                                  QStringLiteral("tree/sub/deep/x.bin"),
                                  QStringLiteral("tree/日本語/"),
                                  QStringLiteral("tree/日本語/ファイル.bin"),
                                  QStringLiteral("tree/空のフォルダ/")};

} // namespace testing
