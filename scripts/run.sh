#!/usr/bin/env bash
# `make run`: starts the built program under Wine. On a desktop it runs on the current display
# until closed; with no display it runs on a virtual one, takes a screenshot after a few
# seconds, prints where it is and ends the program.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
dist=$(cd "${2:?dist folder}" && pwd)
. "$(dirname "$0")/runnable-build.sh"
. "$(dirname "$0")/wine-env.sh"
qm_init_prefix_quiet() { qm_init_prefix >/dev/null 2>&1 || true; }

if [ -n "${DISPLAY:-}" ]; then
  qm_init_prefix_quiet
  cd "$dist" && exec "$QM_WINE" ./Quillmoor.exe "${@:3}"
fi

qm_start_display
trap 'wineserver -k >/dev/null 2>&1 || true; qm_stop_display' EXIT
qm_init_prefix_quiet
(cd "$dist" && exec "$QM_WINE" ./Quillmoor.exe "${@:3}") &
app=$!
sleep "${QM_SHOT_DELAY:-6}"
shot="$build/screenshot-$(date +%Y%m%d-%H%M%S).png"
import -window root "$shot"
kill "$app" 2>/dev/null || true
echo "screenshot: $shot"
