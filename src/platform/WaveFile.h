#pragma once
// Reading a RIFF wave file (the completion sound) into raw samples. Only what the sound
// output can play directly is accepted: integer PCM of 8, 16 or 32 bits and 32-bit float,
// 1 to 8 channels. Anything else, or a damaged file, gives no sound.

#include <QByteArray>

#include <optional>

namespace wavefile {

enum class SampleKind { UInt8, Int16, Int32, Float };

struct Wave {
    int sampleRate = 0;
    int channels = 0;
    SampleKind kind = SampleKind::Int16;
    QByteArray samples; // whole frames only, never empty
};

// Parses the file's bytes. A data chunk that claims more bytes than the file holds is cut
// to the frames present.
std::optional<Wave> parse(const QByteArray& bytes);

} // namespace wavefile
