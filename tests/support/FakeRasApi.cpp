#include "support/FakeRasApi.h"

#include <cstring>

namespace testing {

namespace {

// The field's bytes before its NUL; *terminated is cleared when the width holds none.
QByteArray field(const char* record, int offset, int width, bool* terminated) {
    const char* start = record + offset;
    const void* nul = std::memchr(start, 0, size_t(width));
    if (!nul) {
        *terminated = false;
        return QByteArray(start, width);
    }
    return QByteArray(start, static_cast<const char*>(nul) - start);
}

} // namespace

FakeRasApi::FakeRasApi() {
    ras::setApi(this);
}
FakeRasApi::~FakeRasApi() {
    ras::setApi(nullptr);
}

int FakeRasApi::GetVersionExA(ras::OSVERSIONINFOA* info) {
    calls.append(QStringLiteral("GetVersionExA"));
    versionSizes.append(info->dwOSVersionInfoSize);
    info->dwPlatformId = platformId;
    return 1;
}

ras::DWORD FakeRasApi::RasEnumEntriesA(const char* reserved, const char* lpszPhonebook, void* buffer,
                                       ras::DWORD* lpcb, ras::DWORD* lpcEntries) {
    calls.append(QStringLiteral("RasEnumEntriesA"));
    Q_ASSERT(!reserved);
    const ras::DWORD size = ras::readDword(buffer, 0);
    enumRecordSizes.append(size);
    enumBufferSizes.append(*lpcb);
    enumPhoneBookNull.append(lpszPhonebook == nullptr);
    enumPhoneBooks.append(lpszPhonebook ? QByteArray(lpszPhonebook) : QByteArray());
    const ras::RecordLayout* layout = ras::layoutForEntryNameSize(size);
    if (!layout)
        return ras::kErrorInvalidSize;
    auto* records = static_cast<char*>(buffer);
    for (qsizetype i = 0; i < entries.size() && ras::DWORD(i + 1) * size <= *lpcb; ++i) {
        const QByteArray& name = entries.at(i);
        Q_ASSERT(name.size() < layout->entryNameWidth);
        std::memcpy(records + i * size + ras::RecordLayout::kEntryNameOffset, name.constData(),
                    size_t(name.size()) + 1);
    }
    *lpcEntries = reportedEntryCount.value_or(ras::DWORD(entries.size()));
    return enumResult;
}

ras::DWORD FakeRasApi::RasDialA(const void* extensions, const char* lpszPhonebook, void* params,
                                ras::DWORD notifierType, void* notifier, ras::HRASCONN* handle) {
    calls.append(QStringLiteral("RasDialA"));
    FakeDial dial;
    dial.recordSize = ras::readDword(params, 0);
    dial.record = QByteArray(static_cast<const char*>(params), int(dial.recordSize));
    dial.phoneBookNull = lpszPhonebook == nullptr;
    dial.phoneBook = lpszPhonebook ? QByteArray(lpszPhonebook) : QByteArray();
    dial.notifierType = notifierType;
    dial.notifierNull = notifier == nullptr;
    dial.extensionsNull = extensions == nullptr;
    dial.handleIn = *handle;
    if (const ras::RecordLayout* layout = ras::layoutForDialParamsSize(dial.recordSize)) {
        const char* record = dial.record.constData();
        bool terminated = true;
        dial.entry = field(record, ras::RecordLayout::kDialEntryOffset, layout->dialEntryWidth, &terminated);
        dial.phoneNumber = field(record, layout->phoneOffset(), layout->phoneWidth, &terminated);
        dial.callbackNumber = field(record, layout->callbackOffset(), layout->callbackWidth, &terminated);
        dial.user = field(record, layout->userOffset(), layout->userWidth, &terminated);
        dial.password = field(record, layout->passwordOffset(), layout->passwordWidth, &terminated);
        dial.domain = field(record, layout->domainOffset(), layout->domainWidth, &terminated);
        dial.fieldsTerminated = terminated;
    }
    dials.append(dial);
    *handle = dialHandle;
    return dialResult;
}

ras::DWORD FakeRasApi::RasHangUpA(ras::HRASCONN handle) {
    calls.append(QStringLiteral("RasHangUpA"));
    hangUps.append(handle);
    return hangUpResult;
}

ras::DWORD FakeRasApi::RasGetErrorStringA(ras::DWORD code, char* buffer, ras::DWORD size) {
    calls.append(QStringLiteral("RasGetErrorStringA"));
    errorCodes.append(code);
    errorBufferSizes.append(size);
    const QByteArray text = errorTextPrefix + QByteArray::number(code);
    std::memcpy(buffer, text.constData(), size_t(text.size()) + 1);
    return 0;
}

ras::DWORD FakeRasApi::RasEnumConnectionsA(void* buffer, ras::DWORD* lpcb, ras::DWORD* lpcConnections) {
    calls.append(QStringLiteral("RasEnumConnectionsA"));
    const ras::DWORD size = ras::readDword(buffer, 0);
    connRecordSizes.append(size);
    connBufferSizes.append(*lpcb);
    const ras::RecordLayout* layout = ras::layoutForConnSize(size);
    if (!layout)
        return ras::kErrorInvalidSize;
    const ras::DWORD needed = ras::DWORD(connections.size()) * size;
    *lpcConnections = ras::DWORD(connections.size());
    if (needed > *lpcb) {
        *lpcb = needed;
        return ras::kErrorBufferTooSmall;
    }
    auto* records = static_cast<char*>(buffer);
    for (qsizetype i = 0; i < connections.size(); ++i) {
        char* record = records + i * size;
        ras::writeDword(record, 0, size);
        ras::writeDword(record, ras::RecordLayout::kConnHandleOffset, connections.at(i).handle);
        const QByteArray& name = connections.at(i).name;
        Q_ASSERT(name.size() < layout->connNameWidth);
        std::memcpy(record + ras::RecordLayout::kConnNameOffset, name.constData(), size_t(name.size()) + 1);
    }
    return 0;
}

ras::DWORD FakeRasApi::Shell(const char* pathName, int windowStyle) {
    calls.append(QStringLiteral("Shell"));
    shellRequests.append(QString::fromLatin1(pathName) + u',' + QString::number(windowStyle));
    return 42;
}

} // namespace testing
