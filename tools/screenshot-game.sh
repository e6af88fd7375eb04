#!/usr/bin/env bash
# Runs the game under Xvfb in a copy of data/, with keys pressed through
# XTEST, and writes two pictures of its window: the select screen, and
# stage 1 a few seconds into play.
# Usage: tools/screenshot-game.sh [output folder]; needs `make build`.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m "${1:-$root/build}")"
game="$root/build/zarvo"
[ -x "$game" ] || { echo "build the game first (make build)" >&2; exit 1; }
mkdir -p "$out"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp -r "$root/data/." "$work/"
g++ -O1 -o "$work/xkeys" "$root/tools/xkeys.cpp" -lX11 -l:libXtst.so.6

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
sleep 4
xwd -silent -id "$window" -out "$WORK/select.xwd"
# Z starts stage 1; then a walk up and to the left.
"$WORK/xkeys" "$window" z 150 Up 900 Left 700
sleep 0.3
xwd -silent -id "$window" -out "$WORK/stage1.xwd"
kill -TERM "$pid"
wait "$pid" || true
INNER

WORK="$work" GAME="$game" xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/shoot.sh"
for name in select stage1; do
  convert "xwd:$work/$name.xwd" "png:$out/screenshot-$name.png"
  echo "$out/screenshot-$name.png: $(convert "$out/screenshot-$name.png" -format '%wx%h, %k colours' info:)"
done
