#pragma once
// What the dialler needs to know about a pppd peer entry (/etc/ppp/peers/NAME): whether it
// loads the passwordfd plugin and which link name it gives the link.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace ras {

struct PeerOptions {
    bool loadsPasswordPlugin = false; // "plugin passwordfd.so" (any folder)
    QString linkname;                 // "linkname NAME"; empty when not given
};

// Splits an options file into its words as pppd reads them: blanks separate words, "#"
// at the start of a word comments out the rest of the line, single or double quotes
// group a word, a backslash takes the next character literally.
QStringList optionWords(const QByteArray& content);

PeerOptions readPeerOptions(const QByteArray& content);

// True when the name can only mean a file directly inside the peers folder.
bool isPlainEntryName(const QString& name);

} // namespace ras
