#include "ftp/component/LineEnds.h"

#include <cstring>

namespace ftp {

void LfToCrlf::convert(const char* data, qint64 size, QByteArray& out) {
    const char* p = data;
    const char* const end = data + size;
    while (p < end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        if (!lf) {
            out.append(p, end - p);
            lastWasCr_ = end[-1] == '\r';
            return;
        }
        const bool crBefore = lf > p ? lf[-1] == '\r' : lastWasCr_;
        out.append(p, lf - p);
        if (crBefore)
            out.append('\n');
        else
            out.append("\r\n", 2);
        lastWasCr_ = false;
        p = lf + 1;
    }
}

void CrlfToLf::convert(const char* data, qint64 size, QByteArray& out) {
    const char* p = data;
    const char* const end = data + size;
    if (p < end && pendingCr_) {
        if (*p != '\n')
            out.append('\r');
        pendingCr_ = false;
    }
    while (p < end) {
        const char* cr = static_cast<const char*>(std::memchr(p, '\r', size_t(end - p)));
        if (!cr) {
            out.append(p, end - p);
            return;
        }
        out.append(p, cr - p);
        if (cr + 1 == end) {
            pendingCr_ = true;
            return;
        }
        if (cr[1] != '\n')
            out.append('\r');
        p = cr + 1;
    }
}

void CrlfToLf::finish(QByteArray& out) {
    if (pendingCr_)
        out.append('\r');
    pendingCr_ = false;
}

} // namespace ftp
