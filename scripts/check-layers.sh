#!/usr/bin/env bash
# Checks the folder layering of the program: the logic folders work on the
# window state and never on widgets, so none of their files may include a
# header of app/ or of Qt's widget module. Prints each offending line and
# fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

logic_dirs=(ui decks playlists effects library tageditor)
widgets_dir=$(pkg-config --variable=includedir Qt6Widgets 2>/dev/null || true)
[ -n "$widgets_dir" ] && widgets_dir="$widgets_dir/QtWidgets"
if [ -z "$widgets_dir" ] || [ ! -d "$widgets_dir" ]; then
  widgets_dir=/usr/include/x86_64-linux-gnu/qt6/QtWidgets
fi
[ -d "$widgets_dir" ] || { echo "check-layers: Qt's widget headers not found" >&2; exit 1; }

bad=0
for dir in "${logic_dirs[@]}"; do
  [ -d "$dir" ] || continue
  while IFS= read -r hit; do
    file=${hit%%:*}
    rest=${hit#*:}
    line=${rest%%:*}
    header=$(sed -E 's/.*#include[[:space:]]*[<"]([^>"]+)[>"].*/\1/' <<<"${rest#*:}")
    case "$header" in
      app/*) ;;
      Q*) [ -e "$widgets_dir/$header" ] || continue ;;
      *) continue ;;
    esac
    echo "$file:$line: includes $header (the logic folders do not know widgets or the window)"
    bad=1
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include' "$dir" --include='*.cpp' --include='*.h' || true)
done

# The folders of the program include each other without cycles: every
# include "<folder>/..." between two top-level folders is an edge, and the
# edges must sort (tsort names the folders of a cycle).
edges=$(for dir in safefile automation taglib engine resources platform audio ui display playlists decks effects library \
                   tageditor app; do
  [ -d "$dir" ] || continue
  grep -rhoE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z]+/' "$dir" --include='*.cpp' --include='*.h' |
    sed -E 's/.*"([a-z]+)\//\1/' | sort -u | while read -r to; do
      [ "$to" != "$dir" ] && [ -d "$to" ] && echo "$dir $to"
    done
done)
if ! tsort <<<"$edges" >/dev/null 2>"${TMPDIR:-/tmp}/check-layers.$$"; then
  cat "${TMPDIR:-/tmp}/check-layers.$$"
  echo "the folders above include each other in a cycle"
  bad=1
fi
rm -f "${TMPDIR:-/tmp}/check-layers.$$"

if [ "$bad" -ne 0 ]; then
  exit 1
fi
echo "check-layers: the logic folders include neither app/ nor widget headers; the folders have no include cycle"
