#!/usr/bin/env bash
# `make run`: starts the built program under Wine. On a desktop it runs on the current display
# until closed; with no display it runs on a virtual one, takes a screenshot after a few
# seconds, prints where it is and ends the program.
#
# Headless, the build folder's display and wine server may belong to a test session that is
# running at the same time: the script then ends only its own program, by its process id, and
# leaves the display and the server alone. It never kills a wine server; when the session is
# its own, it waits for the server to end by itself before stopping the display it started.
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

app=""
# Ends the program this script started, and only that one: asked first, then told.
end_program() {
  [ -n "$app" ] || return 0
  local signal
  for signal in TERM KILL; do
    kill -0 "$app" 2>/dev/null || break
    kill "-$signal" "$app" 2>/dev/null || true
    for _ in $(seq 1 50); do
      kill -0 "$app" 2>/dev/null || break
      sleep 0.1
    done
  done
  wait "$app" 2>/dev/null || true
  app=""
}
finish() {
  end_program
  if [ "$QM_OWN_DISPLAY" = 1 ]; then
    # The server of this session ends by itself a few seconds after its last program.
    timeout "${QM_SERVER_WAIT:-30}" wineserver -w >/dev/null 2>&1 || true
    qm_stop_display
  fi
}

qm_start_display
trap finish EXIT
qm_init_prefix_quiet
(cd "$dist" && exec "$QM_WINE" ./Quillmoor.exe "${@:3}") &
app=$!
sleep "${QM_SHOT_DELAY:-6}"
shot="$build/screenshot-$(date +%Y%m%d-%H%M%S).png"
import -window root "$shot"
echo "screenshot: $shot"
