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
void ReportMessage(const QString& text);

}  // namespace djvp
