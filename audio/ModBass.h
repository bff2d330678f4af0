// Thin procedures over the sound engine shared by the players, the decks and
// the displays, and the two progress routines and the tempo translation that
// the tempo detection and the tempo matching use.
#pragma once

#include "engine/Engine.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <stdexcept>

namespace djvp {

// Seconds of a byte count of the stream (negative on failure).
float modBass_Bytes2Seconds(engine::Handle stream, int64_t bytes);
// Moves the stream to a byte position; the engine's result.
bool modBass_SetPosition(engine::Handle stream, int64_t bytes);
// Upper / lower 16 bits of a 32-bit value, as unsigned numbers.
int32_t modBass_HiWord(uint32_t v);
int32_t modBass_LoWord(uint32_t v);
// high * 0x10000 | (low & 0xFFFF); throws std::overflow_error when high lies
// outside -32768..32767.
int32_t modBass_MakeLong(int32_t low, int32_t high);
// A device name from the engine (Windows-1252 or UTF-8 text); "" for null.
QString modBass_StrFromAnsiPtr(const char* text);
// A song's path as the system's bytes, for the engine and for child
// processes (a byte that is not UTF-8 travels in the text as a lone
// surrogate, see safefile/FileName.h).
QByteArray NativePath(const QString& path);

// Progress routine of the start-BPM detection: does nothing.
void modPublic_BPMProgressEmpty(engine::Handle stream, float percent);
// Progress routine of the BPM-window detection: advances AnalysisProgress by
// 0.01 and shows it in the library cell (AnalysisRow, BPM column).
void modPublic_BPMProgress(engine::Handle stream, float percent);
// The BPM that the start-BPM detection found for hBPM, translated to the
// tempo stream's current speed; 0 when either call fails.
float modPublic_TempoBPM(engine::Handle bpmHandle, engine::Handle tempoStream);

}  // namespace djvp
