#pragma once
// The hidden multimedia control that plays the completion sound: a file name and the
// commands "Open", "Prev" and "Play", each carried out at once. Playing goes on after
// the call returns; a missing or unplayable file, or no sound output at all, is silent.

#include <QBuffer>
#include <QByteArray>
#include <QObject>
#include <QString>

class QAudioSink;

namespace platform {

class SoundPlayer : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString FileName READ FileName)
public:
    using QObject::QObject;
    QString FileName() const { return fileName_; }
    virtual void setFileName(const QString& fileName) { fileName_ = fileName; }
    // Carries out "Open" (open the device on the file), "Prev" (back to the start) or
    // "Play" (start playing). Unknown commands are ignored. Never throws, never waits.
    virtual void setCommand(const QString& command) = 0;

private:
    QString fileName_;
};

// The program's player: reads the wave file itself and plays it through the default sound
// output. The device stays open between calls; "Open" on the file already open re-uses it.
class QtSoundPlayer final : public SoundPlayer {
    Q_OBJECT
    Q_PROPERTY(bool hasSound READ hasSound)
public:
    explicit QtSoundPlayer(QObject* parent = nullptr);
    ~QtSoundPlayer() override;
    void setCommand(const QString& command) override;

    // Whether the open file held a playable sound (whatever the output).
    bool hasSound() const { return !samples_.isEmpty(); }
    // Whether a sound output took the sound.
    bool hasOutput() const { return sink_ != nullptr; }

private:
    void open();
    void rewind();
    void play();
    void close();

    QString openedFile_;
    QByteArray samples_;
    QBuffer buffer_;
    QAudioSink* sink_ = nullptr;
};

} // namespace platform
