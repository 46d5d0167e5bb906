#include "platform/WaveFile.h"

#include <QtEndian>

#include <algorithm>

namespace wavefile {

namespace {

constexpr quint16 kPcm = 1;
constexpr quint16 kFloat = 3;
constexpr quint16 kExtensible = 0xFFFE;

quint16 u16(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}
quint32 u32(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

struct Format {
    quint16 tag = 0;
    int channels = 0;
    quint32 sampleRate = 0;
    int blockAlign = 0;
    int bits = 0;
};

std::optional<SampleKind> kindOf(const Format& format) {
    if (format.tag == kPcm) {
        switch (format.bits) {
        case 8:
            return SampleKind::UInt8;
        case 16:
            return SampleKind::Int16;
        case 32:
            return SampleKind::Int32;
        default:
            return std::nullopt;
        }
    }
    if (format.tag == kFloat && format.bits == 32)
        return SampleKind::Float;
    return std::nullopt;
}

} // namespace

std::optional<Wave> parse(const QByteArray& bytes) {
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return std::nullopt;
    std::optional<Format> format;
    qsizetype dataAt = -1;
    qsizetype dataSize = 0;
    // Chunks: a four-character id, a 32-bit length, the body, padded to an even length.
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const QByteArray id = bytes.mid(at, 4);
        const qsizetype size = u32(bytes, at + 4);
        const qsizetype body = at + 8;
        const qsizetype available = bytes.size() - body;
        if (id == "fmt ") {
            if (size < 16 || size > available)
                return std::nullopt;
            Format f;
            f.tag = u16(bytes, body);
            f.channels = u16(bytes, body + 2);
            f.sampleRate = u32(bytes, body + 4);
            f.blockAlign = u16(bytes, body + 12);
            f.bits = u16(bytes, body + 14);
            if (f.tag == kExtensible) {
                if (size < 40)
                    return std::nullopt;
                f.tag = u16(bytes, body + 24); // the sub-format GUID starts with the real tag
            }
            format = f;
        } else if (id == "data") {
            dataAt = body;
            dataSize = std::min(size, available);
        }
        if (size >= available)
            break;
        at = body + size + (size & 1);
    }
    if (!format || dataAt < 0)
        return std::nullopt;
    const std::optional<SampleKind> kind = kindOf(*format);
    if (!kind || format->channels < 1 || format->channels > 8 || format->sampleRate < 1000 ||
        format->sampleRate > 384000 || format->blockAlign != format->channels * format->bits / 8)
        return std::nullopt;
    const qsizetype frames = dataSize / format->blockAlign;
    if (frames == 0)
        return std::nullopt;
    return Wave{static_cast<int>(format->sampleRate), format->channels, *kind,
                bytes.mid(dataAt, frames * format->blockAlign)};
}

} // namespace wavefile
