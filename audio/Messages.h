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

}  // namespace djvp
