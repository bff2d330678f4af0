#include "library/SongTags.h"

#include "playlists/TrackRow.h"
#include "resources/StringIds.h"
#include "sonavex/Dispids.h"
#include "ui/Text.h"

#include <QStringList>

namespace library {

namespace {

using automation::Variant;

constexpr char kTagProgId[] = "SONAVEX.SonavexCtrl.1";

Variant Str(const QString& s) { return Variant::Str(s.toStdU16String()); }

// An ID3v1 comment holds 30 characters, 28 when the tag also holds a track
// number; the tag library cuts a longer one when it writes the tag.
constexpr qsizetype kId3v1CommentWidth = 30;
constexpr qsizetype kId3v1CommentWidthWithTrack = 28;

}  // namespace

QString UpdateMarkerLine(const QString& comment, const QString& marker, const QString& value) {
  const QStringList lines = playlists::CommentLines(comment);
  if (!lines.contains(marker)) {
    return comment + QStringLiteral("\r\n") + marker + QStringLiteral("\r\n") + value;
  }
  QStringList rebuilt;
  rebuilt.reserve(lines.size() + 1);
  for (qsizetype i = 0; i < lines.size(); ++i) {
    rebuilt << lines[i];
    if (lines[i] != marker) continue;
    // The line after a marker line is its old value, whatever it holds.
    ++i;
    rebuilt << value;
  }
  return rebuilt.join(QStringLiteral("\r\n"));
}

SongTagWriter SongTagWriter::Create() {
  automation::DispatchPtr control;
  if (automation::CreateObject(kTagProgId, control) != AUTO_S_OK) return SongTagWriter();
  return SongTagWriter(std::move(control));
}

int16_t SongTagWriter::Analyze(const QString& path) const { return playlists::Tags(c_).Analyze(path); }

QString SongTagWriter::Text(int32_t dispid) const { return playlists::Tags(c_).Text(dispid); }

void SongTagWriter::SetText(int32_t dispid, const QString& text) const { c_.Put(dispid, Str(text)); }

QString SongTagWriter::LastErrorText() const {
  const QString text = QString::fromStdU16String(c_.Call(SX_AUDIOGetLastErrorText).str()).trimmed();
  return text.isEmpty() ? QStringLiteral("error %1").arg(c_.Call(SX_AUDIOGetLastErrorNumber).whole()) : text;
}

bool SongTagWriter::Save(int32_t saveId, const QString& path, QString* why) const {
  if (c_.Call(saveId, {Str(path)}).whole() != 0) return true;
  if (why) *why = LastErrorText();
  return false;
}

bool SongTagWriter::WriteCommentMarker(int32_t commentId, int32_t saveId, const QString& path,
                                       const QString& marker, const QString& value, QString* why) const {
  SetText(commentId, UpdateMarkerLine(Text(commentId), marker, value));
  return Save(saveId, path, why);
}

bool SongTagWriter::WriteTempoToTag(const QString& path, int16_t format, const QString& value, QString* why) const {
  if (!c_) return true;
  switch (format) {
    case kFormatMpeg:
      if (c_.Call(SX_ID3V2Exists).whole() != 0) {
        SetText(SX_ID3V2BeatsPerMinute, value);
        // A tag that is full (200 frames) takes no new frame.
        if (Text(SX_ID3V2BeatsPerMinute) != value) {
          if (why) *why = LastErrorText();
          return false;
        }
        return Save(SX_ID3V2SaveChangesToFile, path, why);
      }
    {
      // A marker block that the comment cannot hold whole would be cut in the
      // file: nothing is written then.
      const QString comment = UpdateMarkerLine(Text(SX_ID3V1Comment), QStringLiteral("BPM"), value);
      const qsizetype width =
          Text(SX_ID3V1Track).isEmpty() ? kId3v1CommentWidth : kId3v1CommentWidthWithTrack;
      if (comment.size() > width) {
        if (why) *why = djvp::ui::T(djvp::kStrNoRoomInId3v1Comment);
        return false;
      }
      SetText(SX_ID3V1Comment, comment);
      return Save(SX_ID3V1SaveChangesToFile, path, why);
    }
    case kFormatWma:
      SetText(SX_WMABeatsPerMinute, value);
      return Save(SX_WMASaveChangesToFile, path, why);
    case kFormatFlac:
      return WriteCommentMarker(SX_FLACComment, SX_FLACSaveChangesToFile, path, QStringLiteral("BPM"), value, why);
    case kFormatOgg:
      return WriteCommentMarker(SX_OGGComment, SX_OGGSaveChangesToFile, path, QStringLiteral("BPM"), value, why);
    default:
      return true;
  }
}

bool SongTagWriter::WriteMarkerToTag(const QString& path, int16_t format, const QString& marker,
                                     const QString& value, QString* why) const {
  if (!c_) return true;
  switch (format) {
    case kFormatMpeg: {
      // Every comment of the marker's language gets the value (its
      // description emptied); without one, a new comment is appended, which
      // gives a file without an ID3v2 tag a new tag. One save for all.
      auto comments = [this] { return static_cast<int16_t>(c_.Call(SX_ID3V2GetComments).whole()); };
      auto set = [&](int16_t index) {
        c_.Call(SX_ID3V2SetComment, {Variant::I2(index), Str(marker), Str(QString()), Str(value)});
      };
      bool found = false;
      const int16_t count = comments();
      for (int16_t i = 1; i > 0 && i <= count; ++i) {
        if (QString::fromStdU16String(c_.Call(SX_ID3V2GetCommentLanguage, {Variant::I2(i)}).str()) != marker) continue;
        set(i);
        found = true;
      }
      if (!found) {
        const int16_t before = comments();
        set(static_cast<int16_t>(before + 1));
        // A tag that is full (200 frames) takes no new comment.
        if (comments() != before + 1) {
          if (why) *why = LastErrorText();
          return false;
        }
      }
      return Save(SX_ID3V2SaveChangesToFile, path, why);
    }
    case kFormatWma:
      return WriteCommentMarker(SX_WMAComment, SX_WMASaveChangesToFile, path, marker, value, why);
    case kFormatFlac:
      return WriteCommentMarker(SX_FLACComment, SX_FLACSaveChangesToFile, path, marker, value, why);
    case kFormatOgg:
      return WriteCommentMarker(SX_OGGComment, SX_OGGSaveChangesToFile, path, marker, value, why);
    default:
      return true;
  }
}

}  // namespace library
