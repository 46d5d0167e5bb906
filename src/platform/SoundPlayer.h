#pragma once
// The hidden multimedia control that plays the completion sound: a file name and the
// commands "Open", "Prev" and "Play", each carried out at once. Playing goes on after
// the call returns; a missing or unplayable file, or no sound output at all, is silent.

#include <QObject>
#include <QString>

class QSoundEffect;

namespace platform {

class SoundPlayer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    QString FileName() const { return fileName_; }
    virtual void setFileName(const QString& fileName) { fileName_ = fileName; }
    // Carries out "Open" (open the device on the file), "Prev" (back to the start) or
    // "Play" (start playing). Unknown commands are ignored. Never throws.
    virtual void setCommand(const QString& command) = 0;

private:
    QString fileName_;
};

// The program's player, over QSoundEffect. The effect is created on the first "Open"
// and kept (the device stays open between calls); "Open" on another file re-opens it.
class QtSoundPlayer final : public SoundPlayer {
    Q_OBJECT
public:
    explicit QtSoundPlayer(QObject* parent = nullptr);
    void setCommand(const QString& command) override;
    // The effect's state, for diagnostics and tests: null before the first "Open".
    const QSoundEffect* effect() const { return effect_; }

private:
    QSoundEffect* effect_ = nullptr;
};

} // namespace platform
