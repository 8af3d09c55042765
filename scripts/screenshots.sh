#!/usr/bin/env bash
# `make screenshots`: the main window in each shipped skin, as PNG pictures for the README
# (docs/main-SKIN.png), taken on the virtual display of the build folder.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
dist=$(cd "${2:?dist folder}" && pwd)
out=$(mkdir -p "${3:?output folder}" && cd "$3" && pwd)
. "$(dirname "$0")/runnable-build.sh"
. "$(dirname "$0")/wine-env.sh"
qm_start_display
trap 'wineserver -k >/dev/null 2>&1 || true; qm_stop_display' EXIT
qm_init_prefix >/dev/null 2>&1 || true
wineserver -p >/dev/null 2>&1 || true

# The chosen skin lives as "Skin" in setting.dat (all users' folder, else the user's own).
set_skin() {
  local f
  for f in "$WINEPREFIX"/drive_c/ProgramData/Brindlewick/setting.dat \
           "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Brindlewick/setting.dat; do
    [ -f "$f" ] || continue
    python3 - "$f" "$1" <<'PY'
import re, sys
path, skin = sys.argv[1], sys.argv[2]
text = open(path, 'rb').read().decode('latin-1')
if re.search(r'(?mi)^Skin=.*$', text):
    text = re.sub(r'(?mi)^Skin=.*$', 'Skin=' + skin, text)
else:
    text = re.sub(r'(?mi)^\[setting\]\r?\n', lambda m: m.group(0) + 'Skin=' + skin + '\r\n', text, count=1)
open(path, 'wb').write(text.encode('latin-1'))
PY
  done
}

window_id() {
  xwininfo -root -tree | awk '/"Brindlewick  [0-9.]+"/ && !/ 1x1\+/ { print $1; exit }'
}

shoot() {
  local skin=$1 name=$2 id=""
  set_skin "$skin"
  (cd "$dist" && exec "$QM_WINE" ./Quillmoor.exe) &
  local app=$!
  for _ in $(seq 1 60); do id=$(window_id); [ -n "$id" ] && break; sleep 0.5; done
  sleep 2
  if [ -n "$id" ]; then
    import -window "$id" "$out/main-$name.png"
    echo "screenshot: $out/main-$name.png"
  else
    echo "screenshots: the main window did not appear" >&2
  fi
  "$QM_WINE" "$dist/Quillmoor.exe" /s >/dev/null 2>&1 || true
  wait "$app" 2>/dev/null || true
}

# A first start creates setting.dat, where the skin is then chosen.
shoot Default Frost
shoot Graphite Graphite
shoot Meadow Meadow
