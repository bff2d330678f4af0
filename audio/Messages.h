// Where the audio classes send the messages a user must see ("Can't create
// stream"): a sink that the host program sets. Without a sink the message
// goes to the standard error stream.
#pragma once

#include <QString>

#include <functional>

namespace djvp {

using MessageSink = std::function<void(const QString& text)>;

// Sets the sink (empty: standard error); returns the previous one.
MessageSink SetMessageSink(MessageSink sink);
// Sets a sink for the calling thread alone, which takes the messages of
// that thread in place of the program's sink (empty: the program's sink
// again); returns the previous one. A thread that measures songs away from
// the window collects its messages so that the window shows them.
MessageSink SetThreadMessageSink(MessageSink sink);
void ReportMessage(const QString& text);

// A message about one file: what failed (a text of the string table), the
// file and why. An operation that meets many files collects these and tells
// them once, grouped by what and why.
struct FileMessage {
  QString what;
  QString file;
  QString why;  // empty when not known
  // "what: why", or "what" alone: the heading under which a list of files
  // names this one.
  QString Reason() const;
};
using FileMessageSink = std::function<void(const FileMessage& message)>;
// Sets the calling thread's collector of file messages (empty: none);
// returns the previous one.
FileMessageSink SetThreadFileMessageSink(FileMessageSink sink);
// To the thread's collector when it has one; else one message, "what" on its
// first line and "file: why" (or the file alone) on the next, through
// ReportMessage.
void ReportFileMessage(const FileMessage& message);

}  // namespace djvp
