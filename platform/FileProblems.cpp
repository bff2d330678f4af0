#include "platform/FileProblems.h"

#include "platform/MessageBox.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"

namespace djvp {

namespace {

FileProblemScope*& Current() {
  static FileProblemScope* current = nullptr;
  return current;
}

// A file without a name (a blank line of a list) is shown as "".
QString Shown(const QString& file) { return file.isEmpty() ? QStringLiteral("\"\"") : file; }

}  // namespace

void FileProblems::Add(const QString& reason, const QString& file) {
  Group* group = nullptr;
  for (Group& g : groups_)
    if (g.reason == reason) group = &g;
  if (!group) {
    groups_.push_back({reason, {}, 0, {}});
    group = &groups_.back();
  }
  // A file met twice for the same reason (by two passes of one run) is named once.
  if (group->files.contains(file)) return;
  group->files.insert(file);
  if (group->shown.size() < kShownFiles)
    group->shown << Shown(file);
  else
    ++group->more;
}

int64_t FileProblems::Count() const {
  int64_t n = 0;
  for (const Group& g : groups_) n += g.shown.size() + g.more;
  return n;
}

QString FileProblems::Text() const {
  QStringList parts;
  for (const Group& g : groups_) {
    QString part = g.reason;
    // A reason that is a sentence keeps its full stop; any other ends in ":".
    if (!part.endsWith(QLatin1Char(':')) && !part.endsWith(QLatin1Char('.'))) part += QLatin1Char(':');
    part += QLatin1Char('\n') + g.shown.join(QLatin1Char('\n'));
    if (g.more > 0)
      part += QLatin1Char('\n') + QString::fromStdString(Tr(kStrAndMoreFiles)).arg(g.more);
    parts << part;
  }
  return parts.join(QStringLiteral("\n\n"));
}

void FileProblems::Tell(const QString& heading) {
  if (groups_.empty()) return;
  const QString text = Text();
  groups_.clear();
  MsgBox(heading.isEmpty() ? text : heading + QLatin1Char('\n') + text);
}

FileProblemScope::FileProblemScope() : outer_(Current()) {
  if (!outer_) Current() = this;
}

FileProblemScope::~FileProblemScope() {
  if (outer_) return;
  Current() = nullptr;
  problems_.Tell();
}

void ReportFileProblem(const QString& reason, const QString& file) {
  if (FileProblemScope* scope = Current()) {
    scope->problems_.Add(reason, file);
    return;
  }
  FileProblems once;
  once.Add(reason, file);
  once.Tell();
}

}  // namespace djvp
