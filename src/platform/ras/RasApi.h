#pragma once
// The dial-up (RAS) services the dialler relies on, with the call shapes of the Windows
// API: byte records whose first field is their size, buffers sized in bytes, counts and
// handles returned through pointers, 0 for success and an error code otherwise.
//
// On Linux these calls are answered by PppdRas (pppd and its peer entries); tests put a
// fake of their own in place with setApi().

#include <QtEndian>
#include <QtGlobal>

#include <cstring>

namespace platform {
class CallControl;
}

namespace ras {

using DWORD = quint32;
using HRASCONN = quint32; // 0 = no connection

// The operating-system version record (OSVERSIONINFOA): 148 bytes.
struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize = 0;
    DWORD dwMajorVersion = 0;
    DWORD dwMinorVersion = 0;
    DWORD dwBuildNumber = 0;
    DWORD dwPlatformId = 0;
    char szCSDVersion[128] = {};
};
static_assert(sizeof(OSVERSIONINFOA) == 148);

inline constexpr DWORD kPlatformWin9x = 1; // Windows 95/98 family: the large records
inline constexpr DWORD kPlatformWinNT = 2; // NT family: the small records
inline constexpr int kMinimizedFocus = 2;  // window style for Shell: minimized with focus

// Result codes. 1 to 19 are pppd's exit statuses (see pppd(8), EXIT STATUS).
inline constexpr DWORD kSuccess = 0;
inline constexpr DWORD kErrorInvalidParameter = 87;
inline constexpr DWORD kErrorNotSupported = 120; // no dialler on this platform
inline constexpr DWORD kErrorBufferTooSmall = 603;
inline constexpr DWORD kErrorBufferInvalid = 610;
inline constexpr DWORD kErrorCannotOpenPhonebook = 621;
inline constexpr DWORD kErrorCannotFindPhonebookEntry = 623;
inline constexpr DWORD kErrorInvalidSize = 632;
inline constexpr DWORD kErrorNoConnection = 668;
inline constexpr DWORD kErrorPppdMissing = 801;         // pppd is not installed
inline constexpr DWORD kErrorPppdCrashed = 802;         // pppd ended by a signal of its own
inline constexpr DWORD kErrorDialTimeout = 803;         // no outcome in time; pppd was stopped
inline constexpr DWORD kErrorPeerEntryIncomplete = 804; // peer entry lacks plugin / linkname
inline constexpr DWORD kErrorDialCancelled = 805;       // the user cancelled the dial; pppd was stopped
inline constexpr DWORD kLastPppdExitStatus = 19;

// The published record layouts. Text fields hold at most their width minus one bytes
// followed by a NUL; sizes are the structures' sizes with their alignment padding.
struct RecordLayout {
    // RASENTRYNAME: size, name.
    DWORD entryNameSize;
    int entryNameWidth;
    // RASDIALPARAMS: size, entry name, phone number, callback number, user, password, domain.
    DWORD dialParamsSize;
    int dialEntryWidth, phoneWidth, callbackWidth, userWidth, passwordWidth, domainWidth;
    // RASCONN: size, handle, entry name and, in the large record, device type and name.
    DWORD connSize;
    int connNameWidth, deviceTypeWidth, deviceNameWidth;

    static constexpr int kEntryNameOffset = 4;
    static constexpr int kDialEntryOffset = 4;
    constexpr int phoneOffset() const { return kDialEntryOffset + dialEntryWidth; }
    constexpr int callbackOffset() const { return phoneOffset() + phoneWidth; }
    constexpr int userOffset() const { return callbackOffset() + callbackWidth; }
    constexpr int passwordOffset() const { return userOffset() + userWidth; }
    constexpr int domainOffset() const { return passwordOffset() + passwordWidth; }
    static constexpr int kConnHandleOffset = 4;
    static constexpr int kConnNameOffset = 8;
    constexpr int deviceTypeOffset() const { return kConnNameOffset + connNameWidth; }
    constexpr int deviceNameOffset() const { return deviceTypeOffset() + deviceTypeWidth; }
};

inline constexpr RecordLayout kLayout9x{264, 257, 1052, 257, 129, 129, 257, 257, 16, 412, 257, 17, 129};
inline constexpr RecordLayout kLayoutNT{28, 21, 736, 21, 129, 49, 257, 257, 16, 32, 21, 0, 0};

static_assert(RecordLayout::kEntryNameOffset + kLayout9x.entryNameWidth <= int(kLayout9x.entryNameSize));
static_assert(RecordLayout::kEntryNameOffset + kLayoutNT.entryNameWidth <= int(kLayoutNT.entryNameSize));
static_assert(kLayout9x.domainOffset() + kLayout9x.domainWidth <= int(kLayout9x.dialParamsSize));
static_assert(kLayoutNT.domainOffset() + kLayoutNT.domainWidth <= int(kLayoutNT.dialParamsSize));
static_assert(kLayout9x.deviceNameOffset() + kLayout9x.deviceNameWidth <= int(kLayout9x.connSize));
static_assert(kLayoutNT.deviceNameOffset() + kLayoutNT.deviceNameWidth <= int(kLayoutNT.connSize));

// The layout whose record of that kind has the given size, or nullptr.
const RecordLayout* layoutForEntryNameSize(DWORD size);
const RecordLayout* layoutForDialParamsSize(DWORD size);
const RecordLayout* layoutForConnSize(DWORD size);

// Little-endian 32-bit fields inside a byte record.
inline DWORD readDword(const void* record, int offset) {
    return qFromLittleEndian<DWORD>(static_cast<const uchar*>(record) + offset);
}
inline void writeDword(void* record, int offset, DWORD value) {
    qToLittleEndian<DWORD>(value, static_cast<uchar*>(record) + offset);
}

class RasApi {
public:
    virtual ~RasApi() = default;

    // GetVersionExA: fills the record whose size field is 148; returns non-zero on success.
    virtual int GetVersionExA(OSVERSIONINFOA* lpVersionInformation) = 0;

    // RasEnumEntriesA: writes the entry names into consecutive RASENTRYNAME records from
    // the buffer's start (the first record's size field chooses the layout). *lpcb is the
    // buffer size in bytes; *lpcEntries receives the number of entries. lpszPhonebook
    // nullptr = the default phonebook.
    virtual DWORD RasEnumEntriesA(const char* reserved, const char* lpszPhonebook, void* lprasentryname,
                                  DWORD* lpcb, DWORD* lpcEntries) = 0;

    // RasDialA: dials synchronously (notifier kind 0, notifier nullptr) with a
    // RASDIALPARAMS record; returns when the link is up (0) or the dial failed.
    virtual DWORD RasDialA(const void* lpRasDialExtensions, const char* lpszPhonebook, void* lpRasDialParams,
                           DWORD dwNotifierType, void* lpvNotifier, HRASCONN* lphRasConn) = 0;

    // RasHangUpA: drops the connection; does not wait for the line to go down.
    virtual DWORD RasHangUpA(HRASCONN hrasconn) = 0;

    // RasGetErrorStringA: writes the message for a code, NUL-terminated, into the buffer.
    virtual DWORD RasGetErrorStringA(DWORD uErrorValue, char* lpszErrorString, DWORD cBufSize) = 0;

    // RasEnumConnectionsA: writes the active connections into consecutive RASCONN records.
    virtual DWORD RasEnumConnectionsA(void* lprasconn, DWORD* lpcb, DWORD* lpcConnections) = 0;

    // Starts a program by name without waiting for it; returns its task id, 0 when none.
    virtual DWORD Shell(const char* pathName, int windowStyle) = 0;

    // Not of the original services: lets a running RasDialA be cancelled through
    // `control` (not owned; nullptr: no cancel). It then fails with kErrorDialCancelled.
    virtual void setCallControl(platform::CallControl* control) { (void)control; }
};

// The services in use: the pppd stand-in unless a test replaced it.
RasApi& api();
// Replaces the services (nullptr puts the pppd stand-in back). Not owned.
void setApi(RasApi* replacement);

// lstrcpyA: copies the NUL-terminated source, NUL included, into the destination; no
// bound of its own (callers fit the text to the field first). nullptr on a null argument.
char* lstrcpyA(char* lpString1, const char* lpString2);

} // namespace ras
