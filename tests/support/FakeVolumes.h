#pragma once
// Replaces the local pane's file-system services while alive: the drive list offers the
// volumes added here (real folders standing for drive roots), and each volume can be
// scripted to be not ready for a number of attempts, or to fail in another way.

#include "platform/LocalLists.h"

#include <QHash>
#include <QList>
#include <QString>

namespace testing {

class FakeVolumes : public platform::LocalVolumes {
public:
    FakeVolumes();
    ~FakeVolumes() override;

    // Adds a volume; `root` is an existing folder (a separator is appended if missing).
    void add(const QString& root, const QString& label = QString());
    // The volume is not ready for the next `attempts` checks (-1: until told otherwise).
    void setNotReady(const QString& root, int attempts);
    // Every check of the volume fails with an error other than "not ready".
    void setFailing(const QString& root, bool failing = true);
    // How many times a folder on the volume was checked.
    int checks(const QString& root) const;
    // The text the drive list shows for the volume.
    QString driveText(const QString& root) const;

    QList<platform::Volume> mounted() const override;
    void checkFolder(const QString& folder) const override;

private:
    struct State {
        int notReady = 0;
        bool failing = false;
        int checks = 0;
    };
    static QString rootOf(const QString& folder);
    QList<platform::Volume> volumes_;
    mutable QHash<QString, State> states_;
};

} // namespace testing
