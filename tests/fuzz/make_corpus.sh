#!/usr/bin/env bash
# Rebuilds the seed corpus of every fuzz target in tests/fuzz/corpus/<target>/,
# which scripts/fuzz.sh gives its short runs so that they start deep.
#
# Real-world-like files are made with encoders and taggers (sox, lame, twolame,
# flac, oggenc, ffmpeg, mutagen) in many layouts (for the sound engine also
# hi-res, many channels and formats that change midway), turned into each target's
# input form, joined by the test fixtures, the kept inputs of tests/fuzz/found/
# and the current corpus, and every target runs over them for
# FUZZ_CORPUS_SECONDS (default 300). libFuzzer's merge then keeps the smallest
# set of inputs that covers all that the run reached, each cut to
# FUZZ_CORPUS_MAX_LEN bytes (default 32768: the tags and headers lie in the
# first and last kilobytes; the short runs still grow inputs up to 256 KB).
#   FUZZ_CORPUS_SECONDS  seconds per target (default 300)
#   FUZZ_CORPUS_MAX_LEN  longest input kept (default 32768)
#   FUZZ_BUILD_DIR       build folder of the fuzz targets (default build-fuzz)
#   FUZZ_JOBS            parallel build jobs (default: the processors)
#   FUZZ_TARGET          only this target
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${FUZZ_CORPUS_SECONDS:-300}
maxLen=${FUZZ_CORPUS_MAX_LEN:-32768}
build=${FUZZ_BUILD_DIR:-build-fuzz}
FUZZ_BUILD_ONLY=1 FUZZ_BUILD_DIR="$build" bash scripts/fuzz.sh

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
src="$work/src"
files="$work/files"
mkdir -p "$src" "$files"

# ---- sources: short signals in the rates and layouts real files have -------
sox -R -n -r 44100 -c 2 -b 16 "$src/s44.wav" synth 0.4 pluck C3 pluck G3 tremolo 3 40
sox -R -n -r 48000 -c 1 -b 16 "$src/m48.wav" synth 0.3 sine 440
sox -R -n -r 22050 -c 2 -b 16 "$src/s22.wav" synth 0.3 sine 330 sine 550
sox -R -n -r 11025 -c 1 -b 16 "$src/m11.wav" synth 0.3 sine 220
sox -R -n -r 8000 -c 1 -b 16 "$src/m8.wav" synth 0.5 sine 300
sox -R -n -r 44100 -c 2 -b 24 "$files/s44_24.wav" synth 0.1 sine 440
sox -R -n -r 8000 -c 1 -b 8 "$files/m8_8.wav" synth 0.1 sine 440
ffmpeg -loglevel error -y -i "$src/m48.wav" -metadata title=Wave -metadata artist=Someone "$files/list.wav"

# ---- MPEG audio -------------------------------------------------------------
L="lame --quiet --noreplaygain"
$L -b 128 -m j "$src/s44.wav" "$files/cbr_info.mp3"
$L -t -b 128 -m s "$src/s44.wav" "$files/cbr_plain.mp3"
$L -V 4 "$src/s44.wav" "$files/vbr_xing.mp3"
$L -V 6 -m m "$src/s22.wav" "$files/vbr_mpeg2.mp3"
$L -b 24 -m m "$src/m8.wav" "$files/mpeg25_info.mp3"
$L -t -b 32 -m m "$src/m11.wav" "$files/mpeg25_11k.mp3"
$L -t -p -b 128 -m s "$src/s44.wav" "$files/crc.mp3"
$L -t -p -b 32 -m m "$src/s22.wav" "$files/crc_mpeg2.mp3"
twolame --quiet -b 192 "$src/s44.wav" "$files/layer2.mp2"
twolame --quiet -p -m m -b 64 "$src/m48.wav" "$files/layer2_crc.mp2"
ffmpeg -loglevel error -y -i "$src/s44.wav" -c:a mp3 -b:a 96k -id3v2_version 3 -metadata title=ffmpeg "$files/ffmpeg_v23.mp3"

# ---- FLAC, Ogg Vorbis, WMA, MP4, AAC -------------------------------------------
flac --silent -5 -o "$files/padded.flac" "$src/s44.wav"
flac --silent -5 --no-padding --no-seektable -o "$files/bare.flac" "$src/m48.wav"
flac --silent -8 -o "$files/s22.flac" "$src/s22.wav"
oggenc --quiet -q 3 -o "$files/plain.ogg" "$src/s44.wav"
oggenc --quiet -q 0 -o "$files/mono.ogg" "$src/m11.wav"
ffmpeg -loglevel error -y -i "$src/s22.wav" -c:a wmav2 -b:a 32k -metadata title=Wma -metadata artist=Someone \
  -metadata album=Album -metadata date=2001 "$files/wmav2.wma"
ffmpeg -loglevel error -y -i "$src/m48.wav" -c:a wmav1 -b:a 32k -metadata title=Old "$files/wmav1.wma"
ffmpeg -loglevel error -y -i "$src/s44.wav" -c:a aac -b:a 64k "$files/aac.m4a"
ffmpeg -loglevel error -y -i "$src/m48.wav" -c:a alac "$files/alac.m4a"
ffmpeg -loglevel error -y -i "$src/s22.wav" -c:a aac -b:a 32k -f adts "$files/adts.aac"
ffmpeg -loglevel error -y -f lavfi -i color=c=blue:s=8x8 -frames:v 1 "$src/cover.png"

# ---- tags as taggers write them ---------------------------------------------
/usr/bin/python3 - "$files" "$src/cover.png" <<'PY'
import base64, shutil, struct, sys
from mutagen.id3 import (ID3, TIT2, TPE1, TALB, TRCK, TDRC, TCON, TBPM, COMM, USLT, SYLT, TXXX, WXXX,
                         WOAR, APIC, TYER)
from mutagen.id3._id3v1 import MakeID3v1
from mutagen.apev2 import APEv2, APEValue, BINARY
from mutagen.flac import FLAC, Picture
from mutagen.oggvorbis import OggVorbis
from mutagen.asf import ASF, ASFDWordAttribute, ASFBoolAttribute, ASFByteArrayAttribute
from mutagen.mp4 import MP4, MP4Cover

d, cover_path = sys.argv[1], sys.argv[2]
cover = open(cover_path, "rb").read()
plain = d + "/cbr_plain.mp3"

def id3(name, version, extra=()):
    shutil.copy(plain, d + "/" + name)
    t = ID3()
    t.add(TIT2(encoding=1 if version == 3 else 3, text="Title"))
    t.add(TPE1(encoding=0, text="Artist"))
    t.add(TALB(encoding=1, text="Älbum ♫"))
    t.add(TRCK(encoding=3, text="3/12"))
    t.add(TDRC(encoding=3, text="2019-05-01") if version == 4 else TYER(encoding=0, text="2019"))
    t.add(TCON(encoding=0, text="(13)Pop"))
    t.add(TBPM(encoding=0, text="128"))
    t.add(COMM(encoding=1, lang="eng", desc="", text="BPM\r\n128.0\r\n"))
    t.add(COMM(encoding=3, lang="PEA", desc="", text="-3.2"))
    t.add(TXXX(encoding=3, desc="REPLAYGAIN_TRACK_GAIN", text="-6.1 dB"))
    t.add(WXXX(encoding=0, desc="shop", url="http://example.org/"))
    t.add(WOAR(url="http://example.org/artist"))
    for f in extra:
        t.add(f)
    t.save(d + "/" + name, v2_version=version)

id3("id3v23.mp3", 3)
id3("id3v24.mp3", 4, [USLT(encoding=3, lang="eng", desc="", text="line one\nline two"),
                      SYLT(encoding=3, lang="eng", format=2, type=1, desc="", text=[("one", 100), ("two", 900)]),
                      APIC(encoding=3, mime="image/png", type=3, desc="Cover", data=cover)])
audio = open(plain, "rb").read()
frames = {"TIT2": TIT2(text=["V1 Title"]), "TPE1": TPE1(text=["V1 Artist"]), "TRCK": TRCK(text=["7"]),
          "TCON": TCON(text=["Trip-Hop"])}
v1 = MakeID3v1(frames)
open(d + "/id3v1.mp3", "wb").write(audio + v1)
shutil.copy(plain, d + "/ape.mp3")
t = APEv2()
t["Title"] = "Ape Title"
t["BPM"] = "128"
t["Cover Art (Front)"] = APEValue(b"c.png\x00" + cover, BINARY)
t.save(d + "/ape.mp3")
body = b"LYRICSBEGIN" + b"".join(k + b"%05d" % len(v) + v for k, v in
                                 [(b"IND", b"11"), (b"LYR", b"la la"), (b"ETT", b"Lyr Title")])
lyrics = body + b"%06d" % len(body) + b"LYRICS200"
ape = open(d + "/ape.mp3", "rb").read()[len(audio):]
open(d + "/ape_lyrics_id3v1.mp3", "wb").write(audio + ape + lyrics + v1)

for name in ("padded.flac", "bare.flac"):
    f = FLAC(d + "/" + name)
    f["TITLE"] = "Flac Title"
    f["ARTIST"] = ["One", "Two"]
    f["COMMENT"] = "BPM\r\n126.5\r\n"
    if name == "padded.flac":
        p = Picture(); p.type = 3; p.mime = "image/png"; p.data = cover
        f.add_picture(p)
    f.save()
for name in ("plain.ogg", "mono.ogg"):
    o = OggVorbis(d + "/" + name)
    o["TITLE"] = "Ogg Title"
    o["ALBUMARTIST"] = "Various"
    if name == "plain.ogg":
        p = Picture(); p.type = 3; p.mime = "image/png"; p.data = cover
        o["METADATA_BLOCK_PICTURE"] = base64.b64encode(p.write()).decode("ascii")
        o["DESCRIPTION"] = "x" * 5000  # a comment over several pages
    o.save()
a = ASF(d + "/wmav2.wma")
a["WM/Year"] = [ASFDWordAttribute(2005)]
a["WM/Mood"] = [ASFBoolAttribute(True)]
a["WM/Picture"] = [ASFByteArrayAttribute(b"\x03" + struct.pack("<I", len(cover)) +
                                         "image/png\0".encode("utf-16-le") + "\0".encode("utf-16-le") + cover)]
a.save()
m = MP4(d + "/aac.m4a")
m["\xa9nam"] = "Mp4 Title"
m["\xa9ART"] = "Artist"
m["trkn"] = [(3, 12)]
m["tmpo"] = [128]
m["covr"] = [MP4Cover(cover, MP4Cover.FORMAT_PNG)]
m.save()
PY
cp tests/fixtures/*/*.{mp3,mp2,flac,ogg,wma,m4a,wav,aac,ape,mpc} "$files/" 2>/dev/null || true

# ---- the sound engine: every format it plays, and the unusual ones ------------
# Short files (a tenth of a second or so): hi-res rates, many channels, a
# rate or a layout that changes midway, 8 kHz MPEG 2.5, files without a
# header frame, and the encoders' less common forms.
sound="$work/sound"
mkdir -p "$sound"
tone() {  # tone <rate> <channels> <seconds> <file> [bits]
  sox -D -n -r "$1" -c "$2" -b "${5:-16}" "$4" synth "$3" sine 1000 vol 0.5
}
tone 44100 2 0.2 "$src/t44s.wav"
tone 44100 1 0.2 "$src/t44m.wav"
tone 22050 2 0.2 "$src/t22s.wav"
tone 8000 1 0.3 "$src/t8m.wav"
tone 352800 1 0.03 "$src/t352.wav" 24
tone 384000 2 0.02 "$src/t384.wav"
tone 48000 6 0.1 "$src/t48x6.wav"
tone 44100 20 0.1 "$src/t44x20.wav"
lame --quiet -b 128 "$src/t44s.wav" "$sound/info.mp3"
lame --quiet -t -b 64 --resample 44.1 "$src/t44s.wav" "$sound/noinfo.mp3"
lame --quiet -t -V 9 "$src/t44m.wav" "$sound/vbr_noinfo.mp3"
lame --quiet -b 8 "$src/t8m.wav" "$sound/mpeg25_8k.mp3"
lame --quiet -t -b 32 --resample 22.05 "$src/t22s.wav" "$src/t22s.mp3"
cat "$sound/noinfo.mp3" "$src/t22s.mp3" > "$sound/rate_change.mp3"
twolame --quiet -b 128 "$src/t44s.wav" "$sound/layer2.mp2"
oggenc --quiet -q 0 -o "$sound/stereo.ogg" "$src/t44s.wav"
oggenc --quiet -q -1 -o "$sound/ch6.ogg" "$src/t48x6.wav"
oggenc --quiet -q -1 -o "$sound/ch20.ogg" "$src/t44x20.wav"
cat "$sound/stereo.ogg" "$sound/ch6.ogg" > "$sound/chained.ogg"
flac --silent -5 -o "$sound/stereo.flac" "$src/t44s.wav"
flac --silent -5 -o "$sound/hires352.flac" "$src/t352.wav"
flac --silent -5 -o "$sound/hires384.flac" "$src/t384.wav"
flac --silent -5 -o "$sound/ch6.flac" "$src/t48x6.wav"
ffmpeg -loglevel error -y -i "$src/t44s.wav" -c:a aac -b:a 48k -f adts "$src/s.aac"
ffmpeg -loglevel error -y -i "$src/t44m.wav" -c:a aac -b:a 32k -f adts "$src/m.aac"
ffmpeg -loglevel error -y -i "$src/t22s.wav" -c:a aac -b:a 32k -f adts "$src/h.aac"
cat "$src/s.aac" "$src/m.aac" > "$sound/stereo_mono.aac"
cat "$src/s.aac" "$src/h.aac" > "$sound/rate_change.aac"
ffmpeg -loglevel error -y -i "$src/t44s.wav" -c:a wmav2 -b:a 64k "$sound/wmav2.wma"
ffmpeg -loglevel error -y -i "$src/t48x6.wav" -c:a aac -b:a 96k "$sound/ch6.m4a"
ffmpeg -loglevel error -y -i "$src/t44s.wav" -c:a libopus -b:a 32k "$sound/stereo.opus" 2>/dev/null || true
ffmpeg -loglevel error -y -i "$src/t384.wav" -c:a pcm_s24le "$sound/hires384.wav"
ffmpeg -loglevel error -y -i "$src/t48x6.wav" -c:a pcm_u8 "$sound/ch6_u8.wav"
ffmpeg -loglevel error -y -i "$src/t44s.wav" -c:a pcm_f64le "$sound/double.wav"

# ---- each target's input form ----------------------------------------------
seeds="$work/seeds"
extensions=(.mp3 .MP2 .mp1 .aac .wma .m4a .flac .ogg .wav .ape .mpc .bin "mp3~")
# engine_fuzz's first byte picks the name's extension, its second sets the
# tempo, pitch and seek points.
soundExtensions=(.mp3 .ogg .flac .wma .aac .m4a .wav .mp2 .opus .bin)
add() {  # add <target> <name> <prefix bytes as printf escapes> <file>
  mkdir -p "$seeds/$1"
  { printf "$3"; cat "$4"; } >"$seeds/$1/$2"
}
for f in "$files"/*; do
  name=$(basename "$f")
  ext=".${name##*.}"
  for i in "${!extensions[@]}"; do
    if [ "${extensions[$i],,}" = "${ext,,}" ]; then add analyze_fuzz "$name" "\\x$(printf %02x "$i")" "$f"; fi
  done
  case "$ext" in
    .mp3|.mp2)
      add id3v2_fuzz "$name" "" "$f"
      for mode in 06 2a ff; do add mpeg_tags_fuzz "$mode-$name" "\\x$mode" "$f"; done ;;
    .flac|.ogg) add flac_ogg_fuzz "$name" "" "$f" ;;
    .wma) add wma_fuzz "$name" "" "$f" ;;
    .m4a) add mp4_fuzz "$name" "" "$f" ;;
    .aac|.wav|.ape|.mpc) add headers_fuzz "$name" "\\x00\\x00\\x00\\x00" "$f" ;;
  esac
done
for f in "$files"/* "$sound"/*; do
  name=$(basename "$f")
  ext=".${name##*.}"
  for i in "${!soundExtensions[@]}"; do
    if [ "${soundExtensions[$i],,}" = "${ext,,}" ]; then add engine_fuzz "$name" "\\x$(printf %02x "$i")\\x21" "$f"; fi
  done
done

# ---- run, then merge into the smallest covering set ----------------------------
for src_file in tests/fuzz/*_fuzz.cpp; do
  target=$(basename "$src_file" .cpp)
  if [ -n "${FUZZ_TARGET:-}" ] && [ "$target" != "$FUZZ_TARGET" ]; then continue; fi
  corpus="tests/fuzz/corpus/$target"
  run="$work/run-$target"
  mkdir -p "$run" "$corpus" "$seeds/$target"
  inputs=("$seeds/$target" "$corpus")
  [ -d "tests/fuzz/found/$target" ] && inputs+=("tests/fuzz/found/$target")
  echo "running $target for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions="$PWD/tests/fuzz/lsan.supp" "$build/bin/$target" -max_total_time="$seconds" -max_len=262144 -rss_limit_mb=2048 \
    -timeout=10 "$run" "${inputs[@]}" >"$work/$target.log" 2>&1 || { tail -n 40 "$work/$target.log"; exit 1; }
  merged="$work/merged-$target"
  mkdir -p "$merged"
  ASAN_OPTIONS=detect_leaks=0 "$build/bin/$target" -merge=1 -max_len="$maxLen" -rss_limit_mb=2048 -timeout=10 \
    "$merged" "${inputs[@]}" "$run" >"$work/$target.merge.log" 2>&1
  rm -rf "$corpus"
  mv "$merged" "$corpus"
  echo "$target: $(ls "$corpus" | wc -l) inputs, $(du -sh "$corpus" | cut -f1)"
done
