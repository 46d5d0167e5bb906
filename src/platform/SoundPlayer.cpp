#include "platform/SoundPlayer.h"

#include "platform/WaveFile.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QFile>
#include <QMediaDevices>

namespace platform {

namespace {

// A completion sound is short; a larger file is not read into memory.
constexpr qint64 kMaxSoundFileBytes = 32 * 1024 * 1024;

QAudioFormat::SampleFormat sampleFormat(wavefile::SampleKind kind) {
    switch (kind) {
    case wavefile::SampleKind::UInt8:
        return QAudioFormat::UInt8;
    case wavefile::SampleKind::Int16:
        return QAudioFormat::Int16;
    case wavefile::SampleKind::Int32:
        return QAudioFormat::Int32;
    case wavefile::SampleKind::Float:
        return QAudioFormat::Float;
    }
    return QAudioFormat::Unknown;
}

} // namespace

// QSoundEffect is not used: its shared loader can wait forever on a damaged wave file and
// then blocks every later sound, so the program reads the file itself.
QtSoundPlayer::QtSoundPlayer(QObject* parent) : SoundPlayer(parent) {}

QtSoundPlayer::~QtSoundPlayer() {
    close();
}

void QtSoundPlayer::setCommand(const QString& command) {
    if (command == QLatin1String("Open"))
        open();
    else if (command == QLatin1String("Prev"))
        rewind();
    else if (command == QLatin1String("Play"))
        play();
}

void QtSoundPlayer::close() {
    if (sink_) {
        sink_->stop();
        delete sink_;
        sink_ = nullptr;
    }
    buffer_.close();
    samples_.clear();
    openedFile_.clear();
}

void QtSoundPlayer::open() {
    if (sink_ && openedFile_ == FileName())
        return; // already open on this file
    close();
    QFile file(FileName());
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxSoundFileBytes)
        return;
    const std::optional<wavefile::Wave> wave = wavefile::parse(file.readAll());
    if (!wave)
        return;
    openedFile_ = FileName();
    samples_ = wave->samples;
    buffer_.setData(samples_);
    buffer_.open(QIODevice::ReadOnly);

    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    QAudioFormat format;
    format.setSampleRate(wave->sampleRate);
    format.setChannelCount(wave->channels);
    format.setSampleFormat(sampleFormat(wave->kind));
    if (output.isNull() || !output.isFormatSupported(format))
        return; // no sound output, or none for this sound: silence
    sink_ = new QAudioSink(output, format, this);
}

void QtSoundPlayer::rewind() {
    if (sink_)
        sink_->stop();
    if (buffer_.isOpen())
        buffer_.seek(0);
}

void QtSoundPlayer::play() {
    if (!sink_)
        return;
    rewind();
    sink_->start(&buffer_); // pulls the samples while the program goes on
}

} // namespace platform
