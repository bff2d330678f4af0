// A library index of generated songs for the benchmarks: realistic texts in
// every one of the thirteen track columns, written in the grid's own file
// format.
#pragma once

#include "platform/Grid.h"

#include <QString>

#include <cstdio>
#include <cstdlib>
#include <random>

namespace bench {

inline const char* const kTrackKeys[] = {"Artist", "Title", "Time",    "Filename", "BPM",           "Genre",      "Album",
                                         "Year",   "Bitrate", "Freq", "Gain",     "StartMixPoint", "EndMixPoint"};

inline void AddTrackColumns(djvp::Grid& g) {
  for (const char* key : kTrackKeys) g.InsertColumn(QString::fromLatin1(key), QString::fromLatin1(key));
}

// A made-up word of two to four syllables; one in twenty starts with an
// accented or non-Latin part.
inline QString Word(std::mt19937& rng) {
  static const char* const kSyllables[] = {"ka", "lo", "mi", "ra", "ven", "tor", "sa", "de", "lux",
                                           "no", "bri", "el", "zo", "fan", "gru", "pe", "ti", "mor"};
  static const QString kAccented[] = {QString::fromUtf8("Bjö"), QString::fromUtf8("Sigur Rós"),
                                      QString::fromUtf8("Mötley"), QString::fromUtf8("坂本")};
  std::uniform_int_distribution<int> count(2, 4), pick(0, 17), accent(0, 19);
  QString w;
  if (accent(rng) == 0) w += kAccented[static_cast<size_t>(pick(rng) % 4)];
  for (int i = count(rng); i > 0; --i) w += QString::fromLatin1(kSyllables[pick(rng)]);
  w[0] = w[0].toUpper();
  return w;
}

// Fills `g` (with the track columns) with `rows` songs.
inline void FillLibrary(djvp::Grid& g, int rows) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> seconds(90, 600), bpm(700, 1800), year(1960, 2024), gain(-120, 30),
      mix(0, 1500), genre(0, 5);
  static const char* const kGenres[] = {"House", "Techno", "Pop", "Rock", "Trance", "Disco"};
  for (int i = 0; i < rows; ++i) {
    const int r = g.AddRow();
    const QString artist = Word(rng) + QLatin1Char(' ') + Word(rng);
    const QString title = Word(rng) + QLatin1Char(' ') + Word(rng) + QLatin1Char(' ') + Word(rng);
    const QString album = Word(rng);
    const int s = seconds(rng);
    g.SetTextAt(r, 1, artist);
    g.SetTextAt(r, 2, title);
    g.SetTextAt(r, 3, QStringLiteral("%1:%2").arg(s / 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0')));
    g.SetTextAt(r, 4, QStringLiteral("/home/dj/Music/%1/%2/%3 %4.mp3").arg(artist, album).arg(i % 20 + 1).arg(title));
    g.SetTextAt(r, 5, QString::number(bpm(rng) / 10.0, 'f', 1));
    g.SetTextAt(r, 6, QString::fromLatin1(kGenres[genre(rng)]));
    g.SetTextAt(r, 7, album);
    g.SetTextAt(r, 8, QString::number(year(rng)));
    g.SetCellValue(r, 9, int32_t{320});
    g.SetCellValue(r, 10, int32_t{44100});
    g.SetTextAt(r, 11, QString::number(gain(rng) / 10.0, 'f', 1));
    g.SetTextAt(r, 12, QStringLiteral("%1 sec").arg(mix(rng) / 100.0, 5, 'f', 2, QLatin1Char('0')));
    g.SetTextAt(r, 13, QStringLiteral("%1 sec").arg(mix(rng) / 100.0 + 200, 5, 'f', 2, QLatin1Char('0')));
  }
}

// Writes a library file of `rows` songs to `path`; ends the program when it
// cannot.
inline void WriteLibraryFile(const QString& path, int rows) {
  djvp::Grid g;
  AddTrackColumns(g);
  FillLibrary(g, rows);
  if (!g.SaveToFile(path)) {
    std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(g.LastError()));
    std::exit(1);
  }
}

}  // namespace bench
