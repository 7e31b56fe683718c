#!/usr/bin/env bash
# Takes the keypad with results, a contact card and an incoming call on a demo
# phone that also holds a contact with very long names and numbers, in
# English and Russian, at 240x320, 320x240 and 720x1440, into
# docs/screenshots/layout/<screen>-<language>-<size>.png.
# Run after a build: scripts/layout-shots.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=docs/screenshots/layout
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
key='HKEY_CURRENT_USER\Software\KELMA\Telvara'

cat >"$work/long.vcf" <<'EOV'
BEGIN:VCARD
VERSION:3.0
N:Abercrombie-Wolkenstein-Trostburg;Alexandra-Margarethe Josephine;;;
ORG:International Consolidated Holdings of Greater Manchester Ltd
TEL;TYPE=CELL:+44 7700 900123 4567 8901 23
TEL;TYPE=WORK:+49 (30) 1234 5678 9012 3456
EMAIL:alexandra-margarethe.abercrombie@international-holdings.example.com
END:VCARD
EOV

for language in english russian; do
  for size in 240x320 320x240 720x1440; do
    dpi=()
    [ "$size" = 720x1440 ] && dpi=(--dpi 320)
    rm -rf "$work/root"
    mkdir -p "$work/root" "$work/run"
    chmod 700 "$work/run"
    export TELVARA_ROOT=$work/root XDG_RUNTIME_DIR=$work/run
    printf 'wait 800\n' >"$work/start.txt"
    "$build/telvara" --headless --script "$work/start.txt" >/dev/null
    "$build/telvara-contacts" import "$work/long.vcf" >/dev/null
    "$build/telvara-settings" set-string "$key" Language "$language"
    cat >"$work/shots.txt" <<EOS
wait 1200
key 2
key 2
wait 500
shot $out/keypad-$language-$size.png
tap big
wait 900
shot $out/card-$language-$size.png
modem ring +4477009001234567890123
wait 900
shot $out/call-$language-$size.png
EOS
    "$build/telvara" --headless --screen "$size" "${dpi[@]}" --script "$work/shots.txt"
  done
done
echo "shots in $out"
