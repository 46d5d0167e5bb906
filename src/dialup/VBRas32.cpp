#include "dialup/VBRas32.h"

#include "platform/ras/AnsiText.h"

#include <QScopeGuard>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr int kEntryBufferRecords = 256;
constexpr int kConnectionBufferRecords = 2;
constexpr int kErrorTextLength = 255;
const char kMonitorProgram[] = "Rasmon.exe";

// Empty text = absent; anything else is kept as given.
std::optional<QString> stored(const QString& text) {
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

// Copies a text into a record field: converted to CP932 and cut at the field's width
// minus one byte, at a character boundary, so the copy always ends inside the field.
void copyField(QByteArray& record, int offset, int width, const QString& text) {
    const QByteArray bytes = ras::cutAtCharacter(ras::toAnsi(text), width - 1);
    ras::lstrcpyA(record.data() + offset, bytes.constData());
}

// Clears a record that held a password before its memory is given back.
void wipe(QByteArray& record) {
    volatile char* bytes = record.data();
    for (qsizetype i = 0; i < record.size(); ++i)
        bytes[i] = 0;
}

} // namespace

VBRas32::VBRas32(ras::RasApi& api) : api_(api) {
    VersionInfo.dwOSVersionInfoSize = sizeof(ras::OSVERSIONINFOA);
    api_.GetVersionExA(&VersionInfo);
    PhoneBookValue.reset();
    EntryValue.reset();
    UserIDValue.reset();
    PasswordValue.reset();
    DomainValue.reset();
    ShowMoniterValue = true;
    RefreshEntries();
}

VBRas32::~VBRas32() = default;

qint32 VBRas32::Connection() const {
    return qint32(ConnHandle);
}

QString VBRas32::PhoneBook() const {
    return PhoneBookValue.value_or(QString());
}
void VBRas32::setPhoneBook(const QString& PhonebookFile) {
    PhoneBookValue = stored(PhonebookFile);
}

qint32 VBRas32::EntryCount() const {
    return EntryTotal;
}

QString VBRas32::EnumEntries(qint16 Index) const {
    if (Index < 0 || Index >= EntryList.size())
        throw std::out_of_range("VBRas32::EnumEntries: index out of range");
    return EntryList.at(Index);
}

QString VBRas32::Entry() const {
    return EntryValue.value_or(QString());
}
void VBRas32::setEntry(const QString& szEntryName) {
    EntryValue = stored(szEntryName);
}
QString VBRas32::UserID() const {
    return UserIDValue.value_or(QString());
}
void VBRas32::setUserID(const QString& szUserID) {
    UserIDValue = stored(szUserID);
}
QString VBRas32::Password() const {
    return PasswordValue.value_or(QString());
}
void VBRas32::setPassword(const QString& szPassword) {
    PasswordValue = stored(szPassword);
}
QString VBRas32::Domain() const {
    return DomainValue.value_or(QString());
}
void VBRas32::setDomain(const QString& szDomain) {
    DomainValue = stored(szDomain);
}
bool VBRas32::ShowMoniter() const {
    return ShowMoniterValue;
}
void VBRas32::setShowMoniter(bool bMoniter) {
    ShowMoniterValue = bMoniter;
}

qint32 VBRas32::RefreshEntries() {
    switch (VersionInfo.dwPlatformId) {
    case ras::kPlatformWin9x:
        return ListEntries9x();
    case ras::kPlatformWinNT:
        return ListEntriesNT();
    default:
        return 0;
    }
}

qint32 VBRas32::ListEntriesNT() {
    return listEntries(ras::kLayoutNT);
}
qint32 VBRas32::ListEntries9x() {
    return listEntries(ras::kLayout9x);
}

qint32 VBRas32::listEntries(const ras::RecordLayout& layout) {
    const ras::DWORD size = layout.entryNameSize;
    QByteArray buffer(kEntryBufferRecords * int(size), '\0');
    ras::writeDword(buffer.data(), 0, size);
    ras::DWORD bufferSize = kEntryBufferRecords * size;
    ras::DWORD count = 0;
    const QByteArray phoneBook = PhoneBookValue ? ras::toAnsi(*PhoneBookValue) : QByteArray();
    const ras::DWORD result = api_.RasEnumEntriesA(nullptr, PhoneBookValue ? phoneBook.constData() : nullptr,
                                                   buffer.data(), &bufferSize, &count);
    // The buffer holds 256 records: with more entries only the first 256 are read.
    EntryTotal = qint32(std::min<ras::DWORD>(count, kEntryBufferRecords));
    EntryList = QStringList(EntryTotal + 1, QString());
    for (qint16 i = 0; i < EntryTotal; ++i) {
        EntryList[i] = ras::fieldText(buffer.constData() + i * size, ras::RecordLayout::kEntryNameOffset,
                                      layout.entryNameWidth);
    }
    return qint32(result);
}

qint32 VBRas32::Dialup() {
    const QString entry = Entry(), user = UserID(), password = Password(), domain = Domain();
    qint32 result = 0;
    switch (VersionInfo.dwPlatformId) {
    case ras::kPlatformWin9x:
        result = Dial9x(entry, user, password, domain);
        break;
    case ras::kPlatformWinNT:
        result = DialNT(entry, user, password, domain);
        break;
    default:
        // Nothing can be dialled here; that is a failure, not a connection.
        result = qint32(ras::kErrorNotSupported);
        break;
    }
    if (result != 0)
        emit ConnectError(result);
    else
        emit ConnectComplete();
    return result;
}

qint32 VBRas32::DialNT(const QString& entry, const QString& user, const QString& password,
                       const QString& domain) {
    return dial(ras::kLayoutNT, true, entry, user, password, domain);
}

qint32 VBRas32::Dial9x(const QString& entry, const QString& user, const QString& password,
                       const QString& domain) {
    return dial(ras::kLayout9x, false, entry, user, password, domain);
}

qint32 VBRas32::dial(const ras::RecordLayout& layout, bool ntFamily, const QString& entry,
                     const QString& user, const QString& password, const QString& domain) {
    QByteArray record(int(layout.dialParamsSize), '\0');
    ras::writeDword(record.data(), 0, layout.dialParamsSize);
    copyField(record, ras::RecordLayout::kDialEntryOffset, layout.dialEntryWidth, entry);
    // Empty phone and callback numbers: the number stored with the entry is dialled.
    record[layout.phoneOffset()] = '\0';
    record[layout.callbackOffset()] = '\0';
    copyField(record, layout.userOffset(), layout.userWidth, user);
    copyField(record, layout.passwordOffset(), layout.passwordWidth, password);
    copyField(record, layout.domainOffset(), layout.domainWidth, domain);

    // The monitor is asked for before dialling, whatever the dial's outcome; whether it
    // starts does not matter to the dial.
    if (ntFamily && ShowMoniterValue)
        api_.Shell(kMonitorProgram, ras::kMinimizedFocus);

    // The 9x family dials from the default phonebook only.
    const bool usePhoneBook = ntFamily && PhoneBookValue.has_value();
    const QByteArray phoneBook = usePhoneBook ? ras::toAnsi(*PhoneBookValue) : QByteArray();
    ras::HRASCONN handle = ConnHandle;
    if (!dialThread_)
        dialThread_ = std::make_unique<platform::WorkerThread>();
    api_.setCallControl(&dialThread_->control());
    const auto noCancel = qScopeGuard([this] { api_.setCallControl(nullptr); });
    const ras::DWORD result = dialThread_->run({platform::CallKind::Dial, entry}, [&] {
        return api_.RasDialA(nullptr, usePhoneBook ? phoneBook.constData() : nullptr, record.data(), 0,
                             nullptr, &handle);
    });
    ConnHandle = handle;
    wipe(record);
    if (result != 0) {
        api_.RasHangUpA(ConnHandle);
        ConnHandle = 0;
    }
    return qint32(result);
}

qint32 VBRas32::HangUp() {
    const ras::DWORD result = api_.RasHangUpA(ConnHandle);
    ConnHandle = 0;
    return qint32(result);
}

QString VBRas32::ErrMsg(qint32 RasErr) {
    QByteArray buffer(kErrorTextLength, ' ');
    api_.RasGetErrorStringA(ras::DWORD(RasErr), buffer.data(), kErrorTextLength);
    // The whole buffer, not cut at the message's NUL, as a 255-character text.
    return ras::fromAnsi(buffer).leftJustified(kErrorTextLength, u' ', true);
}

bool VBRas32::SeekEnumConns(const QString& Entry, bool SetProp) {
    const ras::RecordLayout* layout = nullptr;
    if (VersionInfo.dwPlatformId == ras::kPlatformWinNT)
        layout = &ras::kLayoutNT;
    else if (VersionInfo.dwPlatformId == ras::kPlatformWin9x)
        layout = &ras::kLayout9x;
    else
        return false;
    const ras::DWORD size = layout->connSize;
    QByteArray buffer(kConnectionBufferRecords * int(size), '\0');
    ras::writeDword(buffer.data(), 0, size);
    ras::DWORD bufferSize = kConnectionBufferRecords * size;
    ras::DWORD count = 0;
    if (api_.RasEnumConnectionsA(buffer.data(), &bufferSize, &count) != 0)
        return false;
    // Never read past the two records the buffer holds.
    count = std::min<ras::DWORD>(count, kConnectionBufferRecords);
    for (ras::DWORD i = 0; i < count; ++i) {
        const char* record = buffer.constData() + i * size;
        const QString name =
            ras::fieldText(record, ras::RecordLayout::kConnNameOffset, layout->connNameWidth);
        if (name == Entry) {
            if (SetProp) {
                EntryValue = stored(name);
                ConnHandle = ras::readDword(record, ras::RecordLayout::kConnHandleOffset);
            }
            return true;
        }
    }
    return false;
}
