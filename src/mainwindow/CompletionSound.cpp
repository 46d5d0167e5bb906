// The completion sound, played after a transfer and after a remote delete.
#include "mainwindow/frmTesselFTP.h"

#include "platform/AppPaths.h"
#include "platform/SoundPlayer.h"

void frmTesselFTP::createSoundPlayer() {
    MMControl1 = new platform::QtSoundPlayer(this);
    MMControl1->setObjectName(QStringLiteral("MMControl1"));
}

// Returns at once; the sound plays on. A missing or unplayable file is silent.
void frmTesselFTP::WavSing() {
    MMControl1->setFileName(apppaths::programFile(QStringLiteral("PUPU.wav")));
    MMControl1->setCommand(QStringLiteral("Open"));
    MMControl1->setCommand(QStringLiteral("Prev"));
    MMControl1->setCommand(QStringLiteral("Play"));
}
