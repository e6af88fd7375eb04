#!/usr/bin/env bash
# Runs the game under Xvfb, takes a picture of its window with xwd and checks
# that the client area is 640 x 480 pixels of one colour (the cleared back
# screen). Usage: tools/screenshot-window.sh [output.png]; needs `make build`.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m "${1:-$root/build/window-screenshot.png}")"
game="$root/build/zarvo"
[ -x "$game" ] || { echo "build the game first (make build)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cat >"$work/shoot.sh" <<'INNER'
set -euo pipefail
cd "$WORK"
"$GAME" 2>"$WORK/stderr.txt" &
pid=$!
window=""
for _ in $(seq 1 100); do
  window="$(xwininfo -root -tree 2>/dev/null | awk '/"Zarvo"/ {print $1; exit}')"
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { kill "$pid"; echo "no window" >&2; exit 1; }
# Let start-up (with its two-second mode-change spacing) finish and frames run.
sleep 5
xwd -silent -id "$window" -out "$WORK/window.xwd"
kill -TERM "$pid"
wait "$pid" || true
INNER

WORK="$work" GAME="$game" xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/shoot.sh"
convert "xwd:$work/window.xwd" "png:$out"
size="$(convert "$out" -format '%wx%h' info:)"
colours="$(convert "$out" -format '%k' info:)"
echo "$out: ${size}, ${colours} colour(s)"
convert "$out" -format %c histogram:info:- | head -5
[ "$size" = "640x480" ] && [ "$colours" = "1" ]
