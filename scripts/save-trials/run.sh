#!/usr/bin/env bash
# Trials of the tag library's saves from outside, each save or read a
# process of its own (driver.cpp): saves killed at a chosen system call or
# stalled there (strace), songs with names in two folders, another program
# changing a song between the analysis and the save (mutagen), a full file
# system. Prints one line of figures per trial; exits non-zero when a trial
# found a damaged, mixed or wrongly restored file.
#
#   scripts/save-trials/run.sh [build folder]     (default: build)
#
# Rounds per trial: ROUNDS_KILL, ROUNDS_REUSE, ROUNDS_TWO_SAVES,
# ROUNDS_TWO_SAVES_PLAIN, ROUNDS_READS, ROUNDS_OTHER_PROGRAM,
# ROUNDS_KILL_CALLS, ROUNDS_FULL, ROUNDS_DURING, ROUNDS_JOURNAL,
# ROUNDS_MARK_CALLS (environment). TRIALS (a list of numbers, say "8 9 10")
# runs only those. The full file system trial
# mounts a small tmpfs and needs root; it is skipped otherwise. The tools
# come from scripts/install-deps.sh. Not part of the test command.
set -uo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
work=$(mktemp -d /tmp/save-trials-XXXXXX)
trap 'umount "$work/full" 2>/dev/null; rm -rf "$work"' EXIT

driver=$work/driver
g++ -std=c++20 -O1 -Itaglib -Itaglib/include -Iautomation/include -I. scripts/save-trials/driver.cpp \
  "$build/taglib/libsonavex_core.a" "$build/automation/libautomation.a" "$build/safefile/libsafefile.a" \
  -o "$driver" || exit 1
py=/usr/bin/python3
bad=0

# The songs: an MP3 of about 4.5 MB with an ID3v2 and an APE tag titled
# "Old", a small MP3 to save beside it, a cover picture, FLAC files with and
# without padding.
ffmpeg -loglevel error -f lavfi -i sine=frequency=440:duration=280 -b:a 128k "$work/song.mp3"
ffmpeg -loglevel error -f lavfi -i sine=frequency=330:duration=5 -b:a 128k "$work/small.mp3"
ffmpeg -loglevel error -f lavfi -i testsrc=size=320x240 -frames:v 1 "$work/cover.jpg"
"$driver" save "$work/song.mp3" id3v2 Old >/dev/null && "$driver" save "$work/song.mp3" ape Old >/dev/null || exit 1
ffmpeg -loglevel error -f lavfi -i sine=frequency=440:duration=20 "$work/padded.flac"
cp "$work/padded.flac" "$work/nopad.flac"
metaflac --remove --block-type=PADDING --dont-use-padding "$work/nopad.flac"
export DRIVER_COVER=$work/cover.jpg

field() { sed -E "s/.*$1=([^ ]*).*/\1/"; }
leftovers() { find "$@" -name '.sonavex-*' | wc -l; }

# 1. A save through folder A killed when it cuts the file; then a read and
#    a save through folder B, a read and a sweep through A.
trial_other_folder() {
  local rounds=${ROUNDS_KILL:-20} torn=0 failed=0 undone=0 left=0
  for ((i = 0; i < rounds; ++i)); do
    local d=$work/t1/$i
    mkdir -p "$d/a" "$d/b"
    cp "$work/song.mp3" "$d/a/song.mp3"
    ln "$d/a/song.mp3" "$d/b/song.mp3"
    (strace -f -o /dev/null -e inject=ftruncate:signal=KILL "$driver" save "$d/a/song.mp3" ape X >/dev/null 2>&1; true) 2>/dev/null
    if [ "$("$driver" analyse "$d/b/song.mp3" | field ape)" != Old ] || ! cmp -s "$d/b/song.mp3" "$work/song.mp3"; then
      ((++torn))
    fi
    "$driver" save "$d/b/song.mp3" ape FromB >/dev/null || ((++failed))
    cp "$work/small.mp3" "$d/a/other.mp3"
    "$driver" save "$d/a/other.mp3" ape Y >/dev/null  # sweeps folder A
    [ "$("$driver" analyse "$d/a/song.mp3" | field ape)" = FromB ] || ((++undone))
    left=$((left + $(leftovers "$d")))
  done
  echo "1 other folder: $rounds kills at the cut; torn reads through B $torn, failed saves through B $failed," \
       "later saves undone $undone, leftovers $left"
  ((torn + failed + undone + left == 0)) || bad=1
}

# 2. A save of a song with two names killed when it cuts the file; the user
#    deletes both names and makes a new file; the next save in the folder
#    sweeps it.
trial_reuse() {
  local rounds=${ROUNDS_REUSE:-20} reused=0 written=0 left=0 reusedAll=0 writtenAll=0
  for ((i = 0; i < rounds; ++i)); do
    local d=$work/t2/$i
    mkdir -p "$d"
    cp "$work/song.mp3" "$d/song.mp3"
    ln "$d/song.mp3" "$d/twin.mp3"
    cp "$work/small.mp3" "$d/other.mp3"
    local ino
    ino=$(stat -c %i "$d/song.mp3")
    (strace -f -o /dev/null -e inject=ftruncate:signal=KILL "$driver" save "$d/song.mp3" ape X >/dev/null 2>&1; true) 2>/dev/null
    rm "$d/song.mp3" "$d/twin.mp3"
    echo fresh >"$d/new.txt"
    [ "$(stat -c %i "$d/new.txt")" = "$ino" ] && ((++reused))
    "$driver" save "$d/other.mp3" ape Y >/dev/null
    [ "$(cat "$d/new.txt")" = fresh ] || ((++written))
    left=$((left + $(leftovers "$d")))
    # The same, the user deleting the journal's names too.
    cp "$work/song.mp3" "$d/song.mp3"
    ln "$d/song.mp3" "$d/twin.mp3"
    ino=$(stat -c %i "$d/song.mp3")
    (strace -f -o /dev/null -e inject=ftruncate:signal=KILL "$driver" save "$d/song.mp3" ape X >/dev/null 2>&1; true) 2>/dev/null
    rm -f "$d/song.mp3" "$d/twin.mp3" "$d"/.sonavex-*
    echo fresh >"$d/new2.txt"
    [ "$(stat -c %i "$d/new2.txt")" = "$ino" ] && ((++reusedAll))
    "$driver" save "$d/other.mp3" ape Z >/dev/null
    [ "$(cat "$d/new2.txt")" = fresh ] || ((++writtenAll))
  done
  echo "2 reuse: $rounds kills, names deleted: inode number taken by the new file $reused, new file written $written," \
       "leftovers $left; journal deleted too: number taken $reusedAll, new file written $writtenAll"
  ((written + writtenAll + left == 0)) || bad=1
}

# 3. Two saves of one song at once: a new title and cover, stalled half a
#    second before it copies the audio, and an APE tag through another name
#    started 0 to 1.5 s later. The file must end as one save's whole result
#    (the first alone, the second alone, or both one after the other), and
#    no save reported as done may be lost.
trial_two_saves() {
  local linked=$1 rounds=$2 mixed=0 lost=0 firstOk=0 secondOk=0 refused=0
  for ((i = 0; i < rounds; ++i)); do
    local d=$work/t3$linked/$i
    mkdir -p "$d/other"
    cp "$work/song.mp3" "$d/song.mp3"
    local second=$d/song.mp3
    if [ "$linked" = linked ]; then
      ln "$d/song.mp3" "$d/other/song.mp3"
      second=$d/other/song.mp3
    fi
    strace -f -o /dev/null -e inject=copy_file_range:delay_enter=500000:when=1 \
      "$driver" save "$d/song.mp3" id3v2-cover First >"$d/r1" 2>&1 &
    sleep "$(awk -v r="$RANDOM" 'BEGIN { printf "%.2f", r / 32768 * 1.5 }')"
    "$driver" save "$second" ape Second >"$d/r2" 2>&1
    wait
    local r1 r2 now title pictures ape
    r1=$(cat "$d/r1") r2=$(cat "$d/r2")
    now=$("$driver" analyse "$d/song.mp3")
    title=$(field id3v2 <<<"$now") pictures=$(field pictures <<<"$now") ape=$(field ape <<<"$now")
    [ "$r1" = ok ] && ((++firstOk))
    [ "$r2" = ok ] && ((++secondOk))
    [[ "$r1$r2" == *fail* ]] && ((++refused))
    case "$(field format <<<"$now") $title $pictures $ape" in
      "1 First 1 Old" | "1 First 1 Second" | "1 Old 0 Second") ;;
      *) ((++mixed)) ;;
    esac
    [ "$r1" = ok ] && [ "$title" != First ] && ((++lost))
    [ "$r2" = ok ] && [ "$ape" != Second ] && ((++lost))
  done
  echo "3 two saves ($linked): $rounds rounds; first saved $firstOk, second saved $secondOk, rounds with a refused" \
       "save $refused; mixed files $mixed, saves reported done and lost $lost"
  ((mixed + lost == 0)) || bad=1
}

# 4. Reads of the whole song through another name (through the library's
#    file reader) while the song is saved again and again: each read must
#    see a state that a save left, known from the same saves made before on
#    a copy (the saves write the same bytes each time).
trial_reads() {
  local saves=${ROUNDS_READS:-100}
  local d=$work/t4
  mkdir -p "$d/other" "$d/replay"
  cp "$work/song.mp3" "$d/song.mp3"
  ln "$d/song.mp3" "$d/other/song.mp3"
  cp "$work/song.mp3" "$d/replay/song.mp3"
  save_n() {
    if (($2 % 2)); then "$driver" save "$1" id3v2-cover "Cover $2"; else "$driver" save "$1" ape "T$2"; fi
  }
  "$driver" reads "$d/replay/song.mp3" 1 >"$d/states"
  for ((i = 0; i < saves; ++i)); do
    save_n "$d/replay/song.mp3" "$i" >/dev/null
    "$driver" reads "$d/replay/song.mp3" 1 >>"$d/states"
  done
  local started=$EPOCHREALTIME
  (for ((i = 0; i < saves; ++i)); do save_n "$d/song.mp3" "$i"; done >"$d/saves"
   echo "$EPOCHREALTIME" >"$d/ended") &
  local saver=$!
  while kill -0 "$saver" 2>/dev/null; do "$driver" reads "$d/other/song.mp3" 10 >>"$d/seen"; done
  wait "$saver"
  local total whole busy torn
  total=$(wc -l <"$d/seen")
  busy=$(grep -c '^error' "$d/seen")
  whole=$(grep -v '^error' "$d/seen" | grep -cxFf "$d/states")
  torn=$((total - busy - whole))
  echo "4 reads: $total whole-file reads during $saves saves ($(grep -c '^ok' "$d/saves") done in" \
       "$(awk -v a="$started" -v b="$(cat "$d/ended")" 'BEGIN { printf "%.1f", b - a }') s): a state a save left" \
       "$whole, refused (busy) $busy, torn $torn"
  ((torn == 0)) || bad=1
}

# 5. Mutagen adds a genre to a FLAC file between our analysis and our save.
trial_other_program() {
  local rounds=${ROUNDS_OTHER_PROGRAM:-5} refused=0 kept=0 total=0
  for fixture in padded nopad; do
    for linked in plain linked; do
      for ((i = 0; i < rounds; ++i)); do
        local d=$work/t5/$fixture-$linked-$i
        mkdir -p "$d"
        cp "$work/$fixture.flac" "$d/song.flac"
        [ "$linked" = linked ] && ln "$d/song.flac" "$d/twin.flac"
        mkfifo "$d/in"
        "$driver" save "$d/song.flac" flac Ours --wait <"$d/in" >"$d/out" &
        exec 3>"$d/in"
        until grep -q analysed "$d/out" 2>/dev/null; do sleep 0.01; done
        $py -c 'import sys, mutagen.flac as m; f = m.FLAC(sys.argv[1]); f["genre"] = "Added"; f.save()' "$d/song.flac"
        echo >&3
        exec 3>&-
        wait
        ((++total))
        grep -q '^fail 213' "$d/out" && ((++refused))
        metaflac --show-tag=GENRE "$d/song.flac" | grep -qix genre=Added &&
          ! metaflac --show-tag=TITLE "$d/song.flac" | grep -q Ours && ((++kept))
      done
    done
  done
  echo "5 other program: $total saves after mutagen's change: refused with 213 $refused, genre kept and nothing" \
       "written $kept"
  ((refused == total && kept == total)) || bad=1
}

# 6. Saves killed at the n-th call of each system call that changes a file:
#    a tag that grows (a cover: the audio moves) and one that shrinks (the
#    file is cut), of a song with one name and of one with two. Afterwards
#    (a read through the other name, then a sweep) the song must be the old
#    or the new one under every name, and nothing of the save left.
trial_kills() {
  local kills=0 damaged=0 left=0
  local d=$work/t6
  for save in "id3v2-cover New" "ape X"; do
    for linked in plain linked; do
      local newSum oldSum
      rm -rf "$d/ref"
      mkdir -p "$d/ref"
      cp "$work/song.mp3" "$d/ref/song.mp3"
      # shellcheck disable=SC2086
      "$driver" save "$d/ref/song.mp3" $save >/dev/null
      newSum=$(sha1sum <"$d/ref/song.mp3") oldSum=$(sha1sum <"$work/song.mp3")
      for call in pwrite64 copy_file_range ftruncate fsync linkat renameat renameat2 unlinkat fsetxattr fremovexattr \
                  utimensat openat; do
        for ((n = 1; n <= ${ROUNDS_KILL_CALLS:-12}; ++n)); do
          rm -rf "$d/run"
          mkdir -p "$d/run/other"
          cp "$work/song.mp3" "$d/run/song.mp3"
          local names=1 other=$d/run/song.mp3
          if [ "$linked" = linked ]; then
            ln "$d/run/song.mp3" "$d/run/other/song.mp3"
            names=2 other=$d/run/other/song.mp3
          fi
          # shellcheck disable=SC2086
          (strace -f -o /dev/null -e inject="$call":signal=KILL:when="$n" \
            "$driver" save "$d/run/song.mp3" $save >/dev/null 2>&1; exit $?) 2>/dev/null
          (($? == 0)) && break  # the save ran through: no n-th call
          ((++kills))
          "$driver" analyse "$other" >/dev/null
          cp "$work/small.mp3" "$d/run/x.mp3"
          "$driver" save "$d/run/x.mp3" ape X >/dev/null  # sweeps the folder
          local a b
          a=$(sha1sum <"$d/run/song.mp3") b=$(sha1sum <"$other")
          if [ "$a" != "$b" ] || { [ "$a" != "$newSum" ] && [ "$a" != "$oldSum" ]; } ||
             [ "$(stat -c %h "$d/run/song.mp3")" != "$names" ]; then
            ((++damaged))
          fi
          left=$((left + $(leftovers "$d/run")))
        done
      done
    done
  done
  echo "6 kills: $kills saves killed; damaged $damaged, leftovers $left"
  ((damaged + left == 0)) || bad=1
}

# 7. Saves into a full file system (a small tmpfs, filled to a different
#    level each round): the song is the old or the new one, nothing left.
trial_full() {
  if [ "$(id -u)" != 0 ]; then
    echo "7 full disk: skipped (needs root for the tmpfs)"
    return
  fi
  local rounds=${ROUNDS_FULL:-60} failed=0 damaged=0 left=0 newSum oldSum
  mkdir -p "$work/full"
  mount -t tmpfs -o size=16m tmpfs "$work/full" || return
  local ref=$work/t7ref
  mkdir -p "$ref"
  cp "$work/song.mp3" "$ref/song.mp3"
  "$driver" save "$ref/song.mp3" id3v2-cover New >/dev/null
  newSum=$(sha1sum <"$ref/song.mp3") oldSum=$(sha1sum <"$work/song.mp3")
  for ((i = 0; i < rounds; ++i)); do
    find "$work/full" -mindepth 1 -delete
    mkdir -p "$work/full/other"
    cp "$work/song.mp3" "$work/full/song.mp3"
    ((i % 2)) && ln "$work/full/song.mp3" "$work/full/other/song.mp3"
    local free
    free=$(($(stat -f -c '%a*%S' "$work/full")))
    local fill=$((free - (i * 1013 * 1024 % (10 << 20)) - 4096 * (i % 7)))
    ((fill > 0)) && head -c "$fill" /dev/zero >"$work/full/filler" 2>/dev/null
    "$driver" save "$work/full/song.mp3" id3v2-cover New >/dev/null 2>&1 || ((++failed))
    rm -f "$work/full/filler"
    "$driver" analyse "$work/full/song.mp3" >/dev/null
    local a
    a=$(sha1sum <"$work/full/song.mp3")
    [ "$a" != "$newSum" ] && [ "$a" != "$oldSum" ] && ((++damaged))
    left=$((left + $(leftovers "$work/full")))
  done
  umount "$work/full"
  echo "7 full disk: $rounds saves ($failed failed); damaged $damaged, leftovers $left"
  ((damaged + left == 0)) || bad=1
}

# 8. Another program saves the song while ours is stalled at one system
#    call (the audio copy, a sync, the link of the new file, the exchange
#    of the names, a write within one page): it replaces the song by a
#    rename, as most taggers save, or writes into it. Ours must then fail
#    (213) or have finished before, and their change must stand.
trial_other_program_during_save() {
  local rounds=${ROUNDS_DURING:-3} total=0 refused=0 lost=0 damaged=0 left=0
  local d=$work/t8
  for save in "ape X" "id3v2 Y"; do
    for linked in plain linked; do
      for call in copy_file_range fsync linkat renameat2 pwrite64; do
        for how in rename inplace; do
          for ((i = 0; i < rounds; ++i)); do
            rm -rf "$d"
            mkdir -p "$d/other"
            cp "$work/song.mp3" "$d/song.mp3"
            touch -d '2 hours ago' "$d/song.mp3"
            [ "$linked" = linked ] && ln "$d/song.mp3" "$d/other/song.mp3"
            mkfifo "$d/in"
            # shellcheck disable=SC2086
            strace -f -o /dev/null -e inject="$call":delay_enter=700000:when=1 \
              "$driver" save "$d/song.mp3" $save --wait <"$d/in" >"$d/out" 2>/dev/null &
            exec 3>"$d/in"
            until grep -q analysed "$d/out" 2>/dev/null; do sleep 0.01; done
            echo >&3
            exec 3>&-
            sleep 0.25
            # Their change leaves a mark of its own in the song's bytes.
            local theirs="theirs-$i-$RANDOM$RANDOM"
            if [ "$how" = rename ]; then
              $py -c 'import os, sys; p = sys.argv[1]; b = open(p, "rb").read()
open(p + ".tmp", "wb").write(b + sys.argv[2].encode()); os.rename(p + ".tmp", p)' "$d/song.mp3" "$theirs"
            else
              $py -c 'import sys; f = open(sys.argv[1], "r+b"); f.seek(2000000); f.write(sys.argv[2].encode())' \
                "$d/song.mp3" "$theirs"
            fi
            wait
            ((++total))
            grep -q '^fail 213' "$d/out" && ((++refused))
            if grep -q '^ok' "$d/out" && ! grep -qaF "$theirs" "$d/song.mp3"; then
              ((++lost))
              echo "  lost: $save, $linked, stalled at $call, their $how" >&2
            fi
            [ "$("$driver" analyse "$d/song.mp3" | field format)" = 1 ] || ((++damaged))
            left=$((left + $(leftovers "$d")))
          done
        done
      done
    done
  done
  echo "8 another program during ours: $total saves stalled at a call while another program renamed or wrote" \
       "the song: refused with 213 $refused, their change lost while ours reported done $lost, damaged $damaged," \
       "leftovers $left"
  ((lost + damaged + left == 0)) || bad=1
}

# 9. A rewrite of a song with two names killed when it cuts the file (the
#    copy of the old song is then complete); then the copy is cut to 1,000
#    bytes, or the folder holding the copy and the name saved is deleted.
#    Every read and save through the name left must fail with 215 and
#    leave the song as it is; none may report success.
trial_journal_damaged() {
  local rounds=${ROUNDS_JOURNAL:-10} total=0 good=0 written=0 refused=0
  for damage in cut folder; do
    for ((i = 0; i < rounds; ++i)); do
      local d=$work/t9/$damage-$i
      mkdir -p "$d/a" "$d/b"
      cp "$work/song.mp3" "$d/a/song.mp3"
      ln "$d/a/song.mp3" "$d/b/song.mp3"
      (strace -f -o /dev/null -e inject=ftruncate:signal=KILL "$driver" save "$d/a/song.mp3" ape X >/dev/null 2>&1; true) 2>/dev/null
      if [ "$damage" = cut ]; then
        truncate -s 1000 "$d"/a/.sonavex-copy-*
      else
        rm -r "$d/a"
      fi
      local before
      before=$(sha1sum <"$d/b/song.mp3")
      for try in 1 2; do
        ((++total))
        local seen
        seen=$("$driver" analyse "$d/b/song.mp3")
        if [ "$(field error <<<"$seen")" = 215 ]; then ((++refused)); else ((++good)); fi
        ((++total))
        seen=$("$driver" save "$d/b/song.mp3" ape Y)
        if [ "$seen" = "fail 215" ]; then ((++refused)); else ((++good)); fi
      done
      [ "$(sha1sum <"$d/b/song.mp3")" = "$before" ] || ((++written))
    done
  done
  echo "9 damaged journal: $total reads and saves after a cut copy or a deleted journal folder: refused with 215" \
       "$refused, reported good $good, songs written $written"
  ((good + written == 0)) || bad=1
}

# 10. Rewrites of a song with names in two folders killed at the n-th call
#     of each system call that changes a file, the edges of the mark among
#     them (its setting and removal, the journal's names made and removed);
#     then only a read through the other folder's name: no copy, extra name
#     or mark may be left, and the song is the old or the new one.
trial_mark_edges() {
  local kills=0 damaged=0 left=0 marked=0 newSum oldSum
  local d=$work/t10
  for save in "ape X" "id3v2-cover New"; do
    rm -rf "$d/ref"
    mkdir -p "$d/ref"
    cp "$work/song.mp3" "$d/ref/song.mp3"
    # shellcheck disable=SC2086
    "$driver" save "$d/ref/song.mp3" $save >/dev/null
    newSum=$(sha1sum <"$d/ref/song.mp3") oldSum=$(sha1sum <"$work/song.mp3")
    for call in fsetxattr fremovexattr linkat unlinkat fsync pwrite64 copy_file_range ftruncate utimensat openat; do
      for ((n = 1; n <= ${ROUNDS_MARK_CALLS:-12}; ++n)); do
        rm -rf "$d/run"
        mkdir -p "$d/run/a" "$d/run/b"
        cp "$work/song.mp3" "$d/run/a/song.mp3"
        ln "$d/run/a/song.mp3" "$d/run/b/song.mp3"
        # shellcheck disable=SC2086
        (strace -f -o /dev/null -e inject="$call":signal=KILL:when="$n" \
          "$driver" save "$d/run/a/song.mp3" $save >/dev/null 2>&1; exit $?) 2>/dev/null
        (($? == 0)) && break
        ((++kills))
        "$driver" analyse "$d/run/b/song.mp3" >/dev/null
        left=$((left + $(leftovers "$d/run")))
        $py -c 'import os, sys; sys.exit(0 if "user.sonavex.rewrite" in os.listxattr(sys.argv[1]) else 1)' \
          "$d/run/b/song.mp3" && ((++marked))
        local a
        a=$(sha1sum <"$d/run/b/song.mp3")
        [ "$a" != "$newSum" ] && [ "$a" != "$oldSum" ] && ((++damaged))
      done
    done
  done
  echo "10 kills at the mark's edges: $kills saves killed, then one read through the other folder; leftovers" \
       "$left, marks left $marked, damaged $damaged"
  ((left + marked + damaged == 0)) || bad=1
}

want() { [ -z "${TRIALS:-}" ] || [[ " $TRIALS " == *" $1 "* ]]; }
want 1 && trial_other_folder
want 2 && trial_reuse
want 3 && trial_two_saves linked "${ROUNDS_TWO_SAVES:-100}"
want 3 && trial_two_saves plain "${ROUNDS_TWO_SAVES_PLAIN:-30}"
want 4 && trial_reads
want 5 && trial_other_program
want 6 && trial_kills
want 7 && trial_full
want 8 && trial_other_program_during_save
want 9 && trial_journal_damaged
want 10 && trial_mark_edges
exit "$bad"
