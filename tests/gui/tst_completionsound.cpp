// The sound player behind the completion sound: it returns at once and stays silent,
// without an error, when the file is missing or unplayable or there is no sound output.
#include "platform/SoundPlayer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

void playOnce(platform::SoundPlayer& player) {
    player.setCommand(QStringLiteral("Open"));
    player.setCommand(QStringLiteral("Prev"));
    player.setCommand(QStringLiteral("Play"));
}

QString programSound() {
    return QStringLiteral(TESSEL_SOURCE_DIR "/data/PUPU.wav");
}

} // namespace

class CompletionSoundTest : public QObject {
    Q_OBJECT

private slots:
    void commandsBeforeOpenDoNothing() {
        platform::QtSoundPlayer player;
        player.setCommand(QStringLiteral("Prev"));
        player.setCommand(QStringLiteral("Play"));
        player.setCommand(QStringLiteral("Eject")); // not a command of the player: ignored
        QVERIFY(!player.hasSound());
        QVERIFY(!player.hasOutput());
    }

    void theProgramsSoundOpens() {
        platform::QtSoundPlayer player;
        player.setFileName(programSound());
        playOnce(player);
        QVERIFY(player.hasSound());
        playOnce(player); // again, from the start
        QVERIFY(player.hasSound());
    }

    void aMissingOrBrokenFileIsSilent_data() {
        QTest::addColumn<QByteArray>("bytes"); // empty: no file at all
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("not a wave") << QByteArray("this is not a RIFF file at all");
        QTest::newRow("header cut short") << QByteArray("RIFF\x10\x00\x00\x00WAVEfmt ", 16);
    }
    void aMissingOrBrokenFileIsSilent() {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("PUPU.wav"));
        if (!bytes.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        platform::QtSoundPlayer player;
        player.setFileName(path);
        playOnce(player);
        QVERIFY(!player.hasSound());
        QVERIFY(!player.hasOutput());

        // A broken file leaves nothing behind that would stop the next sound.
        player.setFileName(programSound());
        playOnce(player);
        QVERIFY(player.hasSound());
        platform::QtSoundPlayer other;
        other.setFileName(programSound());
        playOnce(other);
        QVERIFY(other.hasSound());
    }

    void aFileThatAppearsLaterIsPlayed() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("PUPU.wav"));
        platform::QtSoundPlayer player;
        player.setFileName(path);
        playOnce(player);
        QVERIFY(!player.hasSound());
        QVERIFY(QFile::copy(programSound(), path));
        playOnce(player);
        QVERIFY(player.hasSound());
    }
};

QTEST_MAIN(CompletionSoundTest)
#include "tst_completionsound.moc"
