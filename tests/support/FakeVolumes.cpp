#include "support/FakeVolumes.h"

#include <QDir>
#include <QFileInfo>

namespace testing {

FakeVolumes::FakeVolumes() {
    platform::setLocalVolumes(this);
}
FakeVolumes::~FakeVolumes() {
    platform::setLocalVolumes(nullptr);
}

QString FakeVolumes::rootOf(const QString& folder) {
    const QString native = QDir::toNativeSeparators(QDir::cleanPath(folder));
    return native.endsWith(QDir::separator()) ? native : native + QDir::separator();
}

void FakeVolumes::add(const QString& root, const QString& label) {
    volumes_.append({rootOf(root), label});
    states_.insert(rootOf(root), State{});
}

void FakeVolumes::setNotReady(const QString& root, int attempts) {
    states_[rootOf(root)].notReady = attempts;
}
void FakeVolumes::setFailing(const QString& root, bool failing) {
    states_[rootOf(root)].failing = failing;
}
int FakeVolumes::checks(const QString& root) const {
    return states_.value(rootOf(root)).checks;
}

QString FakeVolumes::driveText(const QString& root) const {
    for (const platform::Volume& volume : volumes_)
        if (volume.root == rootOf(root))
            return platform::driveText(volume);
    return QString();
}

QList<platform::Volume> FakeVolumes::mounted() const {
    return volumes_;
}

void FakeVolumes::checkFolder(const QString& folder) const {
    const qsizetype index = platform::volumeIndexOf(folder, volumes_);
    if (index < 0)
        throw platform::VolumeError(platform::VolumeError::Other,
                                    QStringLiteral("No such volume: %1").arg(folder));
    State& state = states_[volumes_[index].root];
    ++state.checks;
    if (state.failing)
        throw platform::VolumeError(platform::VolumeError::Other, QStringLiteral("I/O error (scripted)"));
    if (state.notReady != 0) {
        if (state.notReady > 0)
            --state.notReady;
        throw platform::VolumeError(platform::VolumeError::NotReady,
                                    QStringLiteral("Disk not ready (scripted)"));
    }
    if (!QFileInfo(folder).isDir())
        throw platform::VolumeError(platform::VolumeError::Other,
                                    QStringLiteral("Path not found: %1").arg(folder));
}

} // namespace testing
