#pragma once
// Remote paths are plain texts joined with "/" and never normalised.

#include <QString>

class QComboBox;

namespace remotepaths {

// RemoteDir + "/" + name, exactly as typed: "" + pub = "/pub", "/" + pub = "//pub".
inline QString compose(const QString& remoteDir, const QString& name) {
    return remoteDir + u'/' + name;
}

} // namespace remotepaths

// Appends `entry` to the combo box's list without changing the text in its box.
void appendHistory(QComboBox* box, const QString& entry);
