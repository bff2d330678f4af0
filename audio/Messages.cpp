#include "audio/Messages.h"

#include <cstdio>
#include <utility>

namespace djvp {

namespace {
MessageSink& Sink() {
  static MessageSink sink;
  return sink;
}

MessageSink& ThreadSink() {
  thread_local MessageSink sink;
  return sink;
}

FileMessageSink& ThreadFileSink() {
  thread_local FileMessageSink sink;
  return sink;
}
}  // namespace

MessageSink SetMessageSink(MessageSink sink) { return std::exchange(Sink(), std::move(sink)); }
MessageSink SetThreadMessageSink(MessageSink sink) { return std::exchange(ThreadSink(), std::move(sink)); }
FileMessageSink SetThreadFileMessageSink(FileMessageSink sink) {
  return std::exchange(ThreadFileSink(), std::move(sink));
}

void ReportMessage(const QString& text) {
  if (ThreadSink()) {
    ThreadSink()(text);
    return;
  }
  if (Sink()) {
    Sink()(text);
    return;
  }
  std::fprintf(stderr, "%s\n", qPrintable(text));
}

void ReportFileMessage(const FileMessage& message) {
  if (ThreadFileSink()) {
    ThreadFileSink()(message);
    return;
  }
  QString text = message.what;
  if (!message.file.isEmpty() || !message.why.isEmpty()) text += QLatin1Char('\n') + message.file;
  if (!message.why.isEmpty()) text += QStringLiteral(": ") + message.why;
  ReportMessage(text);
}

QString FileMessage::Reason() const { return why.isEmpty() ? what : what + QStringLiteral(": ") + why; }

}  // namespace djvp
