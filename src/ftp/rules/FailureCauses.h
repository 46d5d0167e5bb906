#pragma once
// The cause of a failure in the user's words: Japanese sentences for what the engine, the
// server or the file system reported. Message boxes show them as their informative text,
// the status line as its tooltip, the transcript as a note after a failed connect.

#include "ftp/component/FtpComponent.h"

#include <QString>

#include <exception>

namespace causes {

// Why a call on the component failed: the server's reply line where it refused, the
// timeout, the lost connection, the local file's trouble; the raw message only when
// nothing better is known.
QString ofError(const ftp::FtpError& error);
// The same for whatever a handler caught: an FtpError, or another exception's own text.
QString ofException(const std::exception& error);

// Why Connect returned `result` for `server`, with what the component told (lastError).
QString ofConnect(int result, const ftp::FtpError& last, const QString& server);

// Whether a failed connect ended without a reply of the server saying why (name not
// resolved, refused, timed out, ...), as far as the component told: the transcript then
// gets a note with the cause.
bool needsTranscriptNote(int result, const ftp::FtpError& last);

// The system's reason for a local file failure, from its error text (as QFile and the
// engine give it): "ディスクがいっぱいです" for "No space left on device"; the text itself
// when it is not one of the common ones.
QString localReason(const QString& systemText);

// A drive or folder the local pane could not open: "ディスクの準備ができていません: /media/x".
QString ofLocalFolder(const QString& systemText);

enum class FileAccess { Read, Write };
// "ローカルのファイルに書き込めません: <reason>" or "...を読めません: <reason>".
QString ofLocalFile(FileAccess access, const QString& systemText);

// A refusal told only by the server's reply text (a delete or a console command that
// returned a failure): "サーバーの応答: 550 ..." on one line.
QString ofRefusal(const QString& replyText);

// The console's box: the command line that failed, masked as the transcript writes it
// (no password shows), then the cause.
QString ofConsoleCommand(const QString& line, const QString& cause);

} // namespace causes
