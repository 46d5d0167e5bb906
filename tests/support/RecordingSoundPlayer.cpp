#include "support/RecordingSoundPlayer.h"

#include "app/frmTesselFTP.h"

namespace testing {

RecordingSoundPlayer* RecordingSoundPlayer::install(frmTesselFTP& window) {
    delete window.MMControl1;
    auto* player = new RecordingSoundPlayer(&window);
    player->setObjectName(QStringLiteral("MMControl1"));
    window.MMControl1 = player;
    return player;
}

void RecordingSoundPlayer::setFileName(const QString& fileName) {
    SoundPlayer::setFileName(fileName);
    calls.append(QStringLiteral("FileName=") + fileName);
}

void RecordingSoundPlayer::setCommand(const QString& command) {
    calls.append(command);
}

} // namespace testing
