#!/usr/bin/env bash
# Takes the main screens (the contact list, the keypad with "56" typed, a
# contact card, the recents, the main menu and an incoming call) on a fresh
# demo phone in every skin and language, into
# docs/screenshots/skins/<skin>-<language>/<screen>-<size>.png.
# Run after a build: scripts/skin-shots.sh [BUILD_DIR] [SIZE...]
# (sizes default to 240x320 and 480x640; 480x640 and larger double the skin).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift $(($# < 1 ? $# : 1))
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(240x320 480x640)
skins=(default dark)
languages=(english russian)
key='HKEY_CURRENT_USER\Software\KELMA\Telvara'
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

script() {
  local k=$1
  cat <<EOS
wait 1500
shot $work/list.png
tap button_contacts
wait 400
key 5
key 6
wait 400
shot $work/keypad.png
tap button_backspace
tap button_backspace
wait 200
tap button_close
wait 400
tap button_recents
wait 600
shot $work/recents.png
tap button_contacts
wait 600
tap $((60 * k)) $((60 * k))
wait 800
shot $work/card.png
tap cancel
wait 800
tap button_menu
wait 500
shot $work/menu.png
tap Cancel
wait 500
modem ring +4930123456 Anna Berg
wait 800
shot $work/call.png
EOS
}

for skin in "${skins[@]}"; do
  for language in "${languages[@]}"; do
    out=docs/screenshots/skins/$skin-$language
    mkdir -p "$out"
    for size in "${sizes[@]}"; do
      k=1
      dpi=()
      if [ "${size%%x*}" -ge 480 ]; then k=2; dpi=(--dpi 192); fi
      rm -rf "$work/root"
      mkdir -p "$work/root"
      "$build/telvara-settings" --root "$work/root" set-string "$key" Skin "$skin"
      "$build/telvara-settings" --root "$work/root" set-string "$key" Language "$language"
      script $k > "$work/s.txt"
      TELVARA_ROOT="$work/root" XDG_RUNTIME_DIR="$work" \
        "$build/telvara" --headless --screen "$size" "${dpi[@]}" --script "$work/s.txt"
      for name in list keypad recents card menu call; do
        cp "$work/$name.png" "$out/$name-$size.png"
      done
    done
  done
done
echo "skin-shots: written to docs/screenshots/skins"
