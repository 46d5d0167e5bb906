#pragma once
// The dialler: enumerates the dial-up phonebook, holds the entry, user name, password and
// domain to dial with, dials synchronously, hangs up, and reports each dial's outcome
// through exactly one of its two events. The records it hands to the dial-up services
// take their sizes from the platform kind reported when the object is constructed
// (1: the large records, 2: the small ones).
//
// Destroying an instance does nothing to the line: a link whose handle is dropped stays up.

#include "platform/ras/RasApi.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include "platform/WorkerThread.h"

#include <memory>
#include <optional>

class VBRas32 : public QObject {
    Q_OBJECT
public:
    // Enumerates the default phonebook at once.
    explicit VBRas32(ras::RasApi& api = ras::api());
    ~VBRas32() override;

    qint32 Connection() const;

    QString PhoneBook() const;
    void setPhoneBook(const QString& PhonebookFile);

    qint32 EntryCount() const;
    // The entry at Index, 0 to EntryCount (that last one is always empty); throws
    // std::out_of_range for any other index.
    QString EnumEntries(qint16 Index) const;

    QString Entry() const;
    void setEntry(const QString& szEntryName);
    QString UserID() const;
    void setUserID(const QString& szUserID);
    QString Password() const;
    void setPassword(const QString& szPassword);
    QString Domain() const;
    void setDomain(const QString& szDomain);
    bool ShowMoniter() const;
    void setShowMoniter(bool bMoniter);

    qint32 RefreshEntries();
    // Dials and raises ConnectComplete (result 0) or ConnectError (any other result)
    // before returning; returns the code the ConnectError handlers leave.
    qint32 Dialup();
    qint32 HangUp();
    // The message for a code, always 255 characters long, the message first.
    QString ErrMsg(qint32 RasErr);
    // True when an active link's entry name equals Entry exactly; with SetProp the
    // instance adopts that link (Entry and Connection).
    bool SeekEnumConns(const QString& Entry, bool SetProp);

    ras::DWORD platformId() const { return VersionInfo.dwPlatformId; }

signals:
    void ConnectComplete();
    void ConnectError(qint32& RasErrCode);

private:
    qint32 ListEntriesNT();
    qint32 ListEntries9x();
    qint32 DialNT(const QString& entry, const QString& user, const QString& password, const QString& domain);
    qint32 Dial9x(const QString& entry, const QString& user, const QString& password, const QString& domain);

    qint32 listEntries(const ras::RecordLayout& layout);
    qint32 dial(const ras::RecordLayout& layout, bool ntFamily, const QString& entry, const QString& user,
                const QString& password, const QString& domain);

    ras::RasApi& api_;
    // The dial waits on pppd here, never on the window's thread.
    std::unique_ptr<platform::WorkerThread> dialThread_;
    ras::HRASCONN ConnHandle = 0;
    ras::OSVERSIONINFOA VersionInfo;
    QStringList EntryList;
    qint32 EntryTotal = 0;
    std::optional<QString> EntryValue;
    std::optional<QString> UserIDValue;
    std::optional<QString> PasswordValue;
    std::optional<QString> DomainValue;
    std::optional<QString> PhoneBookValue;
    bool ShowMoniterValue = true;
};
