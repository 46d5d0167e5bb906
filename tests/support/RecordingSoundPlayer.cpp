#include "support/RecordingSoundPlayer.h"

#include "support/MainWindow.h"

namespace testing {

RecordingSoundPlayer* RecordingSoundPlayer::install(frmTesselFTP& window) {
    auto* player = new RecordingSoundPlayer(&window);
    player->setObjectName(QStringLiteral("MMControl1"));
    MainWindowAccess::replaceSoundPlayer(window, player);
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
