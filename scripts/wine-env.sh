# Sourced by the scripts that run Windows programs: the Wine prefix and virtual display of one
# build folder. Expects $build (absolute). Starts what is missing; idempotent.
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=${WINEARCH:-win64}
# The loader: "wine" picks Wine's 32-bit half; scripts/runnable-build.sh names the 64-bit one
# where that half cannot run.
QM_WINE=${QM_WINE:-wine}

# QM_OWN_DISPLAY says whether qm_start_display started the display (1) or found the one of
# another session of the same build folder running (0): only its starter may stop it.
QM_OWN_DISPLAY=0

qm_start_display() {
  # One Xvfb per build folder, on the first free display number from 90 on.
  local dfile="$build/display"
  if [ -f "$dfile" ]; then
    local d pid
    read -r d pid <"$dfile" || true
    if [ -n "${pid:-}" ] && kill -0 "$pid" 2>/dev/null; then
      export DISPLAY=":$d"
      QM_OWN_DISPLAY=0
      return 0
    fi
  fi
  local n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  local xpid=$!
  for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  echo "$n $xpid" >"$dfile"
  export DISPLAY=":$n"
  QM_OWN_DISPLAY=1
}

# Stops the display only when this shell started it: a display found running belongs to
# another session (tests, benchmarks, another run) that still uses it.
qm_stop_display() {
  [ "$QM_OWN_DISPLAY" = 1 ] || return 0
  QM_OWN_DISPLAY=0
  local dfile="$build/display"
  [ -f "$dfile" ] || return 0
  local d pid
  read -r d pid <"$dfile" || true
  [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true
  rm -f "$dfile"
}

# The windows are laid out for the metrics of the Windows fonts, which Wine ships as fonts of
# its own; a prefix without them in its Fonts folder draws every face in a stand-in of other
# widths, and the captions no longer fit their buttons.
qm_install_fonts() {
  local from to=$WINEPREFIX/drive_c/windows/Fonts d
  [ -f "$to/tahoma.ttf" ] && return 0
  for d in /usr/share/wine/fonts /usr/local/share/wine/fonts /opt/wine*/share/wine/fonts; do
    [ -f "$d/tahoma.ttf" ] && from=$d && break
  done
  [ -n "${from:-}" ] || { echo "wine-env: Wine's own fonts not found; windows use stand-in fonts" >&2; return 0; }
  mkdir -p "$to"
  cp "$from"/*.ttf "$from"/*.fon "$to"/ 2>/dev/null || true
}

qm_init_prefix() {
  if [ ! -f "$WINEPREFIX/.qm-ready" ]; then
    mkdir -p "$WINEPREFIX"
    "$QM_WINE" wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    touch "$WINEPREFIX/.qm-ready"
  fi
  qm_install_fonts
}

# A whole session of Windows programs for the tests or the benchmarks: the display, the prefix,
# one persistent wine server, QM_DIST_DIR for the programs, and everything ended on exit.
qm_session() {
  local dist=$1
  export QM_BUILD="$build"
  qm_start_display
  trap 'wineserver -k >/dev/null 2>&1 || true; qm_stop_display' EXIT
  qm_init_prefix
  wineserver -p >/dev/null 2>&1 || true
  QM_DIST_DIR=$("$QM_WINE" winepath -w "$dist" 2>/dev/null)
  export QM_DIST_DIR
}
