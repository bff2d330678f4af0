// The files the program keeps for itself (the library index, playlists,
// equaliser presets, settings) and the file names it carries.
//
// Names: a path in a QString holds the file system's bytes losslessly (see
// safefile/FileName.h): valid UTF-8 as its characters, any other byte as a
// lone surrogate. Qt's own file classes would turn such a byte into U+FFFD,
// so paths that may hold them go to the system through FileNameBytes.
//
// Writing: every own file is replaced through the safe-write layer (new file
// complete, synced and checked before it takes the old one's place; owner,
// mode and attributes kept), never through a buffer that may fail unseen.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace djvp {

// The text of a name's bytes, and the bytes of a name's text (lossless).
QString FileNameText(QByteArrayView bytes);
QByteArray FileNameBytes(const QString& text);

// The system's text of an error number of the safe-write layer.
QString FileErrorText(int error);

// Replaces (or creates) the file at path with exactly these bytes. "" when
// done, else the system's reason; the old file is then left as it was.
QString WriteOwnFile(const QString& path, QByteArrayView bytes);

// Reads a whole regular file of at most `limit` bytes. "" when done, else
// the reason (a folder, a FIFO or a device is refused without being opened
// for long: it is opened without waiting and left at once). A file with
// several names is read as a whole save left it (see
// safefile::HoldForReading).
QString ReadOwnFile(const QString& path, qint64 limit, QByteArray& bytes);

// What a path names, without opening it (links followed).
enum class PathKind { Missing, File, Folder, Other, Unreachable };
PathKind KindOf(const QString& path);

// Sets a file that cannot be read aside under the first free name of
// path + ".unreadable", ".unreadable.2", ".unreadable.3", ... so that no copy
// kept earlier is ever replaced. `copy` keeps the file where it is and sets
// a copy aside. The name used, or "" (with *why) when it failed.
QString KeepAside(const QString& path, bool copy, QString* why = nullptr);

// Finishes what killed saves left in `folder`, for a start: the safe-write
// layer's own leftovers (an unfinished new file goes, a file with several
// names gets its old content back), and what killed saves of earlier
// versions left beside the program's own files: "<own name>.XXXXXX" (six
// random letters, of both cases), plain files only. Nothing else in the
// folder is touched.
void RemoveOldSaveLeftovers(const QString& folder, const QStringList& ownNames);

}  // namespace djvp
