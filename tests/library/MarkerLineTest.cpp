// The marker lines of an analysis value in a comment, updated in memory.
#include "library/SongTags.h"
#include "playlists/TrackRow.h"

#include <QString>

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct Case {
  const char* why;
  const char16_t* comment;
  const char* marker;
  const char16_t* value;
  const char16_t* expected;
};

const Case kCases[] = {
    {"an empty comment begins with an empty line", u"", "BPM", u"128.4", u"\r\nBPM\r\n128.4"},
    {"a comment without the marker gets the block appended", u"nice song", "PEA", u"92.3",
     u"nice song\r\nPEA\r\n92.3"},
    {"the line after the marker line is replaced", u"a\r\nSMP\r\n05.00 sec\r\nb", "SMP", u"07.25 sec",
     u"a\r\nSMP\r\n07.25 sec\r\nb"},
    {"a marker line at the end gets the value after it", u"x\r\nEMP", "EMP", u"07.10 sec", u"x\r\nEMP\r\n07.10 sec"},
    {"every marker line gets the value", u"PEA\r\n1\r\nmid\r\nPEA\r\n2", "PEA", u"90.0",
     u"PEA\r\n90.0\r\nmid\r\nPEA\r\n90.0"},
    {"the old value is dropped whatever it holds, even the marker", u"PEA\r\nPEA\r\nz", "PEA", u"9",
     u"PEA\r\n9\r\nz"},
    {"other case or blanks are no marker line", u"bpm\r\n1\r\nBPM \r\n2", "BPM", u"3",
     u"bpm\r\n1\r\nBPM \r\n2\r\nBPM\r\n3"},
    {"a rebuilt comment loses its final line break", u"BPM\r\n1\r\n", "BPM", u"2", u"BPM\r\n2"},
    {"an appended comment keeps its final line break", u"free text\r\n", "EMP", u"01.00 sec",
     u"free text\r\n\r\nEMP\r\n01.00 sec"},
    {"a rebuilt comment joins its lines by CR LF", u"a\nBPM\n1\rb", "BPM", u"2", u"a\r\nBPM\r\n2\r\nb"},
    {"other markers and their values stay", u"BPM\r\n128.0\r\nPEA\r\n95.3", "PEA", u"91.0",
     u"BPM\r\n128.0\r\nPEA\r\n91.0"},
    {"text outside the single-byte code page survives",
     u"Примечание\r\nSMP\r\n02.00 sec\r\n名前", "SMP", u"03.50 sec", u"Примечание\r\nSMP\r\n03.50 sec\r\n名前"},
};

}  // namespace

TEST(MarkerLine, UpdateFollowsTheLineRules) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.why);
    const QString got = library::UpdateMarkerLine(QString::fromUtf16(c.comment), QLatin1String(c.marker),
                                                  QString::fromUtf16(c.value));
    EXPECT_EQ(got.toStdU16String(), std::u16string(c.expected));
    // The track rows read back what was written.
    EXPECT_EQ(playlists::MarkerValue(got, QLatin1String(c.marker)).value_or(QString()).toStdU16String(),
              std::u16string(c.value));
  }
}

TEST(MarkerLine, AStoredValueIsStableUnderLaterUpdates) {
  QString comment;
  for (const char16_t* value : {u"120.0", u"121.5", u"000.0"}) {
    comment = library::UpdateMarkerLine(comment, QStringLiteral("BPM"), QString::fromUtf16(value));
    EXPECT_EQ(comment.toStdU16String(), u"\r\nBPM\r\n" + std::u16string(value));
  }
}
