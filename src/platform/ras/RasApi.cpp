#include "platform/ras/RasApi.h"

#include "platform/ras/PppdRas.h"

namespace ras {

namespace {
RasApi* replacementApi = nullptr;
}

const RecordLayout* layoutForEntryNameSize(DWORD size) {
    if (size == kLayoutNT.entryNameSize)
        return &kLayoutNT;
    if (size == kLayout9x.entryNameSize)
        return &kLayout9x;
    return nullptr;
}

const RecordLayout* layoutForDialParamsSize(DWORD size) {
    if (size == kLayoutNT.dialParamsSize)
        return &kLayoutNT;
    if (size == kLayout9x.dialParamsSize)
        return &kLayout9x;
    return nullptr;
}

const RecordLayout* layoutForConnSize(DWORD size) {
    if (size == kLayoutNT.connSize)
        return &kLayoutNT;
    if (size == kLayout9x.connSize)
        return &kLayout9x;
    return nullptr;
}

RasApi& api() {
    if (replacementApi)
        return *replacementApi;
    static PppdRas pppd;
    return pppd;
}

void setApi(RasApi* replacement) {
    replacementApi = replacement;
}

char* lstrcpyA(char* lpString1, const char* lpString2) {
    if (!lpString1 || !lpString2)
        return nullptr;
    return std::strcpy(lpString1, lpString2);
}

} // namespace ras
