// The port out of passive-mode replies (227 and 229), in any text.
#include "FuzzInput.h"
#include "ftp/component/Passive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes = fuzzing::view(data, size);
    for (const QString& text : {QString::fromUtf8(bytes), QString::fromLatin1(bytes)}) {
        if (const auto port = ftp::epsvPort(text))
            fuzzing::require(*port != 0, "EPSV port 0");
        if (const auto port = ftp::pasvPort(text))
            fuzzing::require(*port != 0, "PASV port 0");
    }
    return 0;
}
