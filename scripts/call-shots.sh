#!/usr/bin/env bash
# Takes the README's call screenshots (dialling, connected with its running
# time, busy, the waiting-call choice, the in-call strip) at 240x320 and
# 480x640 with the built-in modem simulator, into docs/screenshots/.
# Run after a build: scripts/call-shots.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=docs/screenshots
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One script, its screen places scaled for the size.
script() {
  local k=$1
  cat <<EOS
wait 1500
modem busy 777
tap $((208 * k)) $((240 * k))
wait 400
key 7
key 7
key 7
tap $((200 * k)) $((260 * k))
wait 300
shot $work/dialling.png
expect text txtStatus Busy
wait 200
shot $work/busy.png
wait 2600
key 5
key 5
key 5
tap $((200 * k)) $((260 * k))
wait 300
modem answer
wait 42000
shot $work/connected.png
modem ring +4930123456 Anna Berg
wait 400
shot $work/waiting.png
tap $((120 * k)) $((140 * k))
expect held
wait 17000
tap $((193 * k)) $((250 * k))
wait 400
shot $work/strip.png
EOS
}

for size in 240x320 480x640; do
  k=1
  dpi=()
  if [ "$size" = 480x640 ]; then k=2; dpi=(--dpi 192); fi
  rm -rf "$work/root"
  script $k > "$work/s.txt"
  TELVARA_ROOT="$work/root" XDG_RUNTIME_DIR="$work" \
    "$build/telvara" --headless --screen "$size" "${dpi[@]}" --script "$work/s.txt"
  for name in dialling connected busy waiting strip; do
    cp "$work/$name.png" "$out/call-$name-$size.png"
  done
done
echo "call-shots: written to $out"
