#!/usr/bin/env bash
# `make screenshots`: the main window in each shipped skin (docs/main-SKIN.png) and the splash
# blended over a window (docs/splash.png), as PNG pictures for the README, taken on the
# virtual display of the build folder.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
dist=$(cd "${2:?dist folder}" && pwd)
out=$(mkdir -p "${3:?output folder}" && cd "$3" && pwd)
. "$(dirname "$0")/runnable-build.sh"
. "$(dirname "$0")/wine-env.sh"
qm_start_display
scratch=$(mktemp -d)
trap 'wineserver -k >/dev/null 2>&1 || true; qm_stop_display; rm -rf "$scratch"' EXIT
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

# The splash test's show_splash child shows the splash over a plain window; it reads the
# picture from res\images beside itself, so a copy of it runs in a folder with the shipped one.
shoot_splash() {
  local exe=$build/cmake/tests/splash/splash_test.exe
  if ! cmake --build "$build/cmake" --target splash_test >/dev/null; then
    echo "screenshots: the splash test does not build; no splash picture" >&2
    return 0
  fi
  mkdir -p "$scratch/splash/res/images"
  cp "$exe" "$scratch/splash/"
  cp "$dist/res/images/splash.png" "$scratch/splash/res/images/"
  # Per-pixel alpha blends with what lies behind only under a compositing manager; without
  # one, X shows the soft edges against black.
  local compositor=""
  if command -v xcompmgr >/dev/null; then
    xcompmgr >/dev/null 2>&1 &
    compositor=$!
    sleep 1
  else
    echo "screenshots: no xcompmgr; the splash's soft edges show against black" >&2
  fi
  (cd "$scratch/splash" && exec "$QM_WINE" ./splash_test.exe --qm-child=show_splash 8000) &
  local child=$!
  sleep 4
  # The splash sits centred on the screen over the window behind it (200,150 400x420): the
  # picture takes both with a margin.
  local geometry
  geometry=$(python3 - "$dist/res/images/splash.png" "$(xdpyinfo | awk '/dimensions:/ { print $2; exit }')" <<'PY'
import struct, sys
w, h = struct.unpack('>II', open(sys.argv[1], 'rb').read()[16:24])
sw, sh = (int(v) for v in sys.argv[2].split('x'))
x, y = (sw - w) // 2, (sh - h) // 2
left, top = max(0, min(x, 200) - 24), max(0, min(y, 150) - 24)
right, bottom = min(sw, max(x + w, 600) + 24), min(sh, max(y + h, 570) + 24)
print(f"{right - left}x{bottom - top}+{left}+{top}")
PY
)
  import -window root -crop "$geometry" +repage "$out/splash.png"
  echo "screenshot: $out/splash.png"
  wait "$child" 2>/dev/null || true
  if [ -n "$compositor" ]; then kill "$compositor" 2>/dev/null || true; wait "$compositor" 2>/dev/null || true; fi
}

# A first start creates setting.dat, where the skin is then chosen.
shoot Default Frost
shoot Graphite Graphite
shoot Meadow Meadow
shoot_splash
