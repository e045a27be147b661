#!/usr/bin/env bash
# On a real X server the player opens its window: the dock above the title's picture, pixel for
# pixel as an outside screen grabber sees it. Skipped (77) when the X tools are missing.
set -euo pipefail
kova=$1
for tool in Xvfb xwd convert; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
xpid=
ppid=
cleanup() {
  [ -n "$ppid" ] && kill "$ppid" 2>/dev/null || true
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The server picks a free display number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xpid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

# A 320x240 title filled with one colour (colour reference 0xCC6633 is #3366CC on screen).
mkdir -p "$work/src"
cat >"$work/src/kova.kps" <<'KPS'
version = 110
title = "window check"
screen = 320 240
start = "main.ksb"
frame_sleep = true
KPS
cat >"$work/src/main.kss" <<'KSS'
.ksb version=110
BoxNew name={"fill"} parent={""} left={0} top={0} width={320} height={240} color={13395507}
Label name="loop"
DoEvent
Jump index=:loop cond={TRUE}
KSS
"$kova" build "$work/src" -o "$work/title" >/dev/null

"$kova" play "$work/title" --frames 100000 >"$work/play.log" 2>&1 &
ppid=$!
count_colour() {  # count_colour HEX: pixels of that colour in the last grab
  convert "$work/shot.xwd" -format %c histogram:info:- 2>/dev/null |
    awk -v c="#$1" 'toupper($0) ~ toupper(c) { gsub(":", "", $1); n += $1 } END { print n + 0 }'
}
for _ in $(seq 100); do
  sleep 0.2
  kill -0 "$ppid" 2>/dev/null || { echo "the player ended early:"; cat "$work/play.log"; exit 1; }
  xwd -root -silent -out "$work/shot.xwd" 2>/dev/null || continue
  title=$(count_colour 3366CC)
  dock=$(count_colour ECE9D8)
  if [ "$title" -eq $((320 * 240)) ] && [ "$dock" -gt 0 ]; then
    echo "window shown: $title title pixels, $dock dock button pixels"
    exit 0
  fi
done
echo "the window never showed the title: $title title pixels, $dock dock pixels"
cat "$work/play.log"
exit 1
