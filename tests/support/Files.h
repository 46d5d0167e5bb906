#pragma once
// Whole-file reads and writes for test fixtures.

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <QString>
#include <QTest>

namespace testing {

// The file's bytes, or empty when it cannot be read.
inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Replaces the file with `bytes`; fails the running test when it cannot.
inline void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

// `size` bytes of every value, the same for the same seed.
inline QByteArray randomBytes(qsizetype size, quint32 seed = 1) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(generator.bounded(256));
    return bytes;
}

} // namespace testing
