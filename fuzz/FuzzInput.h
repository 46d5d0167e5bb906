#pragma once
// Helpers shared by the fuzz targets: turning libFuzzer's bytes into the texts and
// chunks the parsers take, and a check that stops the run when an invariant breaks.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzzing {

// Stops the run with a message; libFuzzer keeps the input that did it.
[[noreturn]] inline void broken(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}
inline void require(bool holds, const char* what) {
    if (!holds)
        broken(what);
}

// The input as arriving over a network: cut into pieces whose sizes come from the
// input's first byte, so that the fuzzer also explores where the cuts fall.
inline QList<QByteArrayView> chunks(QByteArrayView data) {
    QList<QByteArrayView> pieces;
    if (data.isEmpty())
        return pieces;
    const qsizetype step = 1 + static_cast<unsigned char>(data.front()) % 64;
    data = data.sliced(1);
    while (!data.isEmpty()) {
        const qsizetype n = std::min(step, data.size());
        pieces.append(data.first(n));
        data = data.sliced(n);
    }
    return pieces;
}

// Up to `count` fields separated by a NUL byte; the last takes the rest.
inline QList<QByteArray> fields(QByteArrayView data, int count) {
    QList<QByteArray> parts;
    while (parts.size() + 1 < count) {
        const qsizetype nul = data.indexOf('\0');
        if (nul < 0)
            break;
        parts.append(data.first(nul).toByteArray());
        data = data.sliced(nul + 1);
    }
    parts.append(data.toByteArray());
    while (parts.size() < count)
        parts.append(QByteArray());
    return parts;
}

inline QByteArrayView view(const uint8_t* data, size_t size) {
    return QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size));
}

} // namespace fuzzing
