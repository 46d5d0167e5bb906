#pragma once
// A test double of the dial-up services: answers from a script, records every call with
// the record sizes, field contents and arguments it saw, and installs itself as the
// services in use while alive.

#include "platform/ras/RasApi.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace testing {

struct FakeConnection {
    ras::HRASCONN handle = 0;
    QByteArray name; // CP932 bytes as the system would write them
};

struct FakeDial {
    ras::DWORD recordSize = 0;
    QByteArray record; // a copy of the whole record as it was handed over
    bool phoneBookNull = true;
    QByteArray phoneBook;
    ras::DWORD notifierType = 0;
    bool notifierNull = true;
    bool extensionsNull = true;
    ras::HRASCONN handleIn = 0;
    // Fields cut at their NUL, by the layout the record size names.
    QByteArray entry, phoneNumber, callbackNumber, user, password, domain;
    // True when every field ends in a NUL inside its width.
    bool fieldsTerminated = false;
};

class FakeRasApi : public ras::RasApi {
public:
    FakeRasApi();
    ~FakeRasApi() override;

    // ---- Script ----
    ras::DWORD platformId = ras::kPlatformWinNT;
    QList<QByteArray> entries;                    // names written by RasEnumEntriesA
    std::optional<ras::DWORD> reportedEntryCount; // count to report instead of entries.size()
    ras::DWORD enumResult = 0;
    ras::DWORD dialResult = 0;
    ras::HRASCONN dialHandle = 0x1234; // written by RasDialA, also on failure
    ras::DWORD hangUpResult = 0;
    QList<FakeConnection> connections;
    QByteArray errorTextPrefix = "error ";

    // ---- Record ----
    QStringList calls;                 // "GetVersionExA", "RasEnumEntriesA", "Shell", ...
    QList<ras::DWORD> versionSizes;    // size field seen by GetVersionExA
    QList<ras::DWORD> enumRecordSizes; // first record's size field
    QList<ras::DWORD> enumBufferSizes; // *lpcb on entry
    QList<bool> enumPhoneBookNull;
    QList<QByteArray> enumPhoneBooks;
    QList<FakeDial> dials;
    QList<ras::HRASCONN> hangUps;
    QList<ras::DWORD> connRecordSizes;
    QList<ras::DWORD> connBufferSizes;
    QList<ras::DWORD> errorCodes;
    QList<ras::DWORD> errorBufferSizes;
    QStringList shellRequests; // "program,style"

    int callCount(const QString& name) const { return int(calls.count(name)); }

    int GetVersionExA(ras::OSVERSIONINFOA* info) override;
    ras::DWORD RasEnumEntriesA(const char* reserved, const char* lpszPhonebook, void* buffer,
                               ras::DWORD* lpcb, ras::DWORD* lpcEntries) override;
    ras::DWORD RasDialA(const void* extensions, const char* lpszPhonebook, void* params,
                        ras::DWORD notifierType, void* notifier, ras::HRASCONN* handle) override;
    ras::DWORD RasHangUpA(ras::HRASCONN handle) override;
    ras::DWORD RasGetErrorStringA(ras::DWORD code, char* buffer, ras::DWORD size) override;
    ras::DWORD RasEnumConnectionsA(void* buffer, ras::DWORD* lpcb, ras::DWORD* lpcConnections) override;
    ras::DWORD Shell(const char* pathName, int windowStyle) override;
};

} // namespace testing
