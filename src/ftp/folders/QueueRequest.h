#pragma once
// What the user asked to move as one batch: whole folders, several selected files, a drop
// from the desktop, or a mirror upload. The window that starts the batch fills it in; the
// transfer queue turns it into one job per file and runs them on the session.

#include "ftp/component/FtpComponent.h"

#include <QString>
#include <QStringList>

namespace ftp {

struct QueueRequest {
    enum class Kind {
        Download,     // remote files and folders into a local folder
        Upload,       // local files and folders into a remote folder
        MirrorUpload, // one local folder's new and changed files into its remote namesake
    };
    Kind kind = Kind::Download;
    // Download: absolute remote paths; Upload and MirrorUpload: absolute local paths.
    QStringList files;
    QStringList folders;
    // Download: the local folder they come into; Upload and MirrorUpload: the remote
    // folder, ending in "/".
    QString target;
    int mode = BinaryMode; // the transfer mode the window's option buttons show
};

} // namespace ftp
