#include "ftp/component/LineEnds.h"

#include <algorithm>
#include <cstring>

namespace ftp {

bool looksBinary(QByteArrayView start) {
    return start.first(std::min<qsizetype>(start.size(), kBinarySniffBytes)).contains('\0');
}

void LfToCrlf::convert(const char* data, qint64 size, QByteArray& out) {
    if (size <= 0)
        return;
    // Room for the worst case (every byte a LF), filled through a pointer and cut back.
    const qsizetype start = out.size();
    out.resize(start + 2 * size);
    char* o = out.data() + start;
    const char* p = data;
    const char* const end = data + size;
    while (p < end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const char* const stop = lf ? lf : end;
        std::memcpy(o, p, size_t(stop - p));
        o += stop - p;
        if (!lf)
            break;
        const bool crBefore = lf > data ? lf[-1] == '\r' : lastWasCr_;
        if (!crBefore)
            *o++ = '\r';
        *o++ = '\n';
        p = lf + 1;
    }
    lastWasCr_ = end[-1] == '\r';
    out.resize(o - out.constData());
}

void CrlfToLf::convert(const char* data, qint64 size, QByteArray& out) {
    if (size <= 0)
        return;
    const qsizetype start = out.size();
    out.resize(start + size + 1);
    char* o = out.data() + start;
    const char* p = data;
    const char* const end = data + size;
    if (pendingCr_) {
        if (*p != '\n')
            *o++ = '\r';
        pendingCr_ = false;
    }
    while (p < end) {
        const char* cr = static_cast<const char*>(std::memchr(p, '\r', size_t(end - p)));
        const char* const stop = cr ? cr : end;
        std::memcpy(o, p, size_t(stop - p));
        o += stop - p;
        if (!cr)
            break;
        if (cr + 1 == end) {
            pendingCr_ = true;
            break;
        }
        if (cr[1] != '\n')
            *o++ = '\r';
        p = cr + 1;
    }
    out.resize(o - out.constData());
}

qint64 CrlfToLf::convertInPlace(char* data, qint64 size, bool& crFirst) {
    crFirst = false;
    if (size <= 0)
        return 0;
    if (pendingCr_) {
        crFirst = *data != '\n';
        pendingCr_ = false;
    }
    // The write position never passes the read position: CR LF only ever shrinks.
    char* o = data;
    const char* p = data;
    const char* const end = data + size;
    while (p < end) {
        const char* cr = static_cast<const char*>(std::memchr(p, '\r', size_t(end - p)));
        const char* const stop = cr ? cr : end;
        if (o != p)
            std::memmove(o, p, size_t(stop - p));
        o += stop - p;
        if (!cr)
            break;
        if (cr + 1 == end) {
            pendingCr_ = true;
            break;
        }
        if (cr[1] != '\n')
            *o++ = '\r';
        p = cr + 1;
    }
    return o - data;
}

void CrlfToLf::finish(QByteArray& out) {
    if (pendingCr_)
        out.append('\r');
    pendingCr_ = false;
}

} // namespace ftp
