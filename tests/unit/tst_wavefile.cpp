// Reading the completion sound's wave file.
#include "platform/WaveFile.h"

#include <QFile>
#include <QTest>
#include <QtEndian>

using wavefile::SampleKind;

namespace {

QByteArray le16(quint16 v) {
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}
QByteArray le32(quint32 v) {
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}
QByteArray chunk(const QByteArray& id, const QByteArray& body, qsizetype claimed = -1) {
    QByteArray out = id + le32(static_cast<quint32>(claimed < 0 ? body.size() : claimed)) + body;
    if (body.size() & 1)
        out += '\0';
    return out;
}
QByteArray fmt(quint16 tag, quint16 channels, quint32 rate, quint16 bits, qsizetype align = -1) {
    const quint16 blockAlign = static_cast<quint16>(align < 0 ? channels * bits / 8 : align);
    return chunk("fmt ", le16(tag) + le16(channels) + le32(rate) + le32(rate * blockAlign) +
                             le16(blockAlign) + le16(bits));
}
QByteArray riff(const QByteArray& chunks) {
    return "RIFF" + le32(static_cast<quint32>(4 + chunks.size())) + "WAVE" + chunks;
}

} // namespace

class WaveFileTest : public QObject {
    Q_OBJECT
private slots:
    void readsTheProgramsSound() {
        QFile file(QStringLiteral(TESSEL_SOURCE_DIR "/data/PUPU.wav"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto wave = wavefile::parse(file.readAll());
        QVERIFY(wave);
        QCOMPARE(wave->sampleRate, 22050);
        QCOMPARE(wave->channels, 1);
        QCOMPARE(wave->kind, SampleKind::Int16);
        QCOMPARE(wave->samples.size(), 0x9b0a);
    }

    void readsTheFormatsTheOutputTakes() {
        const QByteArray frames(8, '\x11');
        auto stereo8 = wavefile::parse(riff(fmt(1, 2, 8000, 8) + chunk("data", frames)));
        QVERIFY(stereo8);
        QCOMPARE(stereo8->kind, SampleKind::UInt8);
        QCOMPARE(stereo8->channels, 2);
        QCOMPARE(stereo8->samples, frames);
        auto floats = wavefile::parse(riff(fmt(3, 1, 48000, 32) + chunk("data", frames)));
        QVERIFY(floats);
        QCOMPARE(floats->kind, SampleKind::Float);
        // WAVE_FORMAT_EXTENSIBLE carrying PCM, and an odd-sized chunk before the data.
        const QByteArray extensible =
            chunk("fmt ", le16(0xFFFE) + le16(1) + le32(44100) + le32(88200) + le16(2) + le16(16) + le16(22) +
                              le16(16) + le32(4) + le16(1) + QByteArray(14, '\0'));
        auto ext = wavefile::parse(riff(extensible + chunk("LIST", "odd") + chunk("data", frames)));
        QVERIFY(ext);
        QCOMPARE(ext->kind, SampleKind::Int16);
        QCOMPARE(ext->sampleRate, 44100);
        QCOMPARE(ext->samples, frames);
    }

    void cutsADataChunkToTheFramesPresent() {
        // Claims 1000 bytes, holds 7: three whole 16-bit mono frames, the odd byte dropped.
        const auto wave = wavefile::parse(riff(fmt(1, 1, 8000, 16) + "data" + le32(1000) + "abcdefg"));
        QVERIFY(wave);
        QCOMPARE(wave->samples, QByteArray("abcdef"));
    }

    void refusesWhatCannotBePlayed_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray data = chunk("data", QByteArray(8, '\x01'));
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not RIFF") << QByteArray("RIFX").append(le32(4)).append("WAVE");
        QTest::newRow("not WAVE") << riff(QByteArray()).replace(8, 4, "AVI ");
        QTest::newRow("no fmt") << riff(data);
        QTest::newRow("no data") << riff(fmt(1, 1, 8000, 16));
        QTest::newRow("empty data") << riff(fmt(1, 1, 8000, 16) + chunk("data", QByteArray()));
        QTest::newRow("24-bit") << riff(fmt(1, 1, 8000, 24) + data);
        QTest::newRow("compressed") << riff(fmt(2, 1, 8000, 4) + data);
        QTest::newRow("block align wrong") << riff(fmt(1, 2, 8000, 16, 2) + data);
        QTest::newRow("no channels") << riff(fmt(1, 0, 8000, 16, 0) + data);
        QTest::newRow("rate zero") << riff(fmt(1, 1, 0, 16) + data);
        QTest::newRow("fmt cut short") << riff(fmt(1, 1, 8000, 16)).left(30);
        QTest::newRow("header only") << QByteArray("RIFF\x10\x00\x00\x00WAVEfmt ", 16);
    }
    void refusesWhatCannotBePlayed() {
        QFETCH(QByteArray, bytes);
        QVERIFY(!wavefile::parse(bytes));
    }
};

QTEST_GUILESS_MAIN(WaveFileTest)
#include "tst_wavefile.moc"
