// Problems met with files during one operation (an import, a library build,
// a playlist load, a measuring run), told once at its end instead of one
// message per file: for each reason, in the order first met, the reason and
// the files it concerns (the first kShownFiles of them and the count of the
// rest), in one message box of the program.
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace djvp {

class FileProblems {
 public:
  static constexpr int kShownFiles = 20;

  // One file that could not be taken, and why (a text the user reads, the
  // same for every file of its kind).
  void Add(const QString& reason, const QString& file);
  bool IsEmpty() const { return groups_.empty(); }
  // The number of files added.
  int64_t Count() const;
  // The message: each reason, then its files, one per line; groups apart by
  // a blank line. "" when nothing was added.
  QString Text() const;
  // Shows the message (when there is one) with `heading` on its first line
  // (none when empty), then forgets the files.
  void Tell(const QString& heading = {});

 private:
  struct Group {
    QString reason;
    QStringList shown;
    int64_t more = 0;
    QSet<QString> files;  // every file of the group
  };
  std::vector<Group> groups_;
};

// The operation under way: while one lives, ReportFileProblem collects into
// it, and it tells everything at its end. One made while another lives
// collects into the outer one, which tells (a library build that imports a
// folder tree shows one message, not two).
class FileProblemScope {
 public:
  FileProblemScope();
  ~FileProblemScope();
  FileProblemScope(const FileProblemScope&) = delete;
  FileProblemScope& operator=(const FileProblemScope&) = delete;

 private:
  friend void ReportFileProblem(const QString& reason, const QString& file);
  FileProblems problems_;
  FileProblemScope* outer_;
};

// A file the current operation cannot take: collected by the operation under
// way, or, outside any, told at once (one message naming the file).
void ReportFileProblem(const QString& reason, const QString& file);

}  // namespace djvp
