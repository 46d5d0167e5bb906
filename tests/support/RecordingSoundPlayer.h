#pragma once
// A sound player that plays nothing and records what it was told: "FileName=<path>",
// then each command ("Open", "Prev", "Play").

#include "platform/SoundPlayer.h"

#include <QStringList>

class frmTesselFTP;

namespace testing {

class RecordingSoundPlayer : public platform::SoundPlayer {
    Q_OBJECT
public:
    using platform::SoundPlayer::SoundPlayer;
    // Puts a recording player in place of the window's player and returns it (owned by
    // the window).
    static RecordingSoundPlayer* install(frmTesselFTP& window);

    void setFileName(const QString& fileName) override;
    void setCommand(const QString& command) override;

    QStringList calls;
    // How many times "Play" was given.
    int plays() const { return static_cast<int>(calls.count(QStringLiteral("Play"))); }
};

} // namespace testing
