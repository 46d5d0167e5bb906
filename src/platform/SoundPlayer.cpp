#include "platform/SoundPlayer.h"

#include <QSoundEffect>
#include <QUrl>

namespace platform {

QtSoundPlayer::QtSoundPlayer(QObject* parent) : SoundPlayer(parent) {}

void QtSoundPlayer::setCommand(const QString& command) {
    if (command == QLatin1String("Open")) {
        if (!effect_)
            effect_ = new QSoundEffect(this);
        const QUrl source = QUrl::fromLocalFile(FileName());
        if (effect_->source() != source)
            effect_->setSource(source); // loads in the background; a bad file ends in Error
    } else if (command == QLatin1String("Prev")) {
        if (effect_)
            effect_->stop(); // the next play starts from the beginning
    } else if (command == QLatin1String("Play")) {
        // A sound still loading plays once loaded; one that failed to load stays silent.
        if (effect_ && effect_->status() != QSoundEffect::Error)
            effect_->play();
    }
}

} // namespace platform
