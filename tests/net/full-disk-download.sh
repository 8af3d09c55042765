#!/usr/bin/env bash
# A download onto a full disk: a 64 KiB drive (a tmpfs mounted for the test and given to the Wine
# prefix as drive R:), onto which the test program's child "full_disk_download" fetches a body
# four times its size.
set -euo pipefail
exe=${1:?test program}
build=${QM_BUILD:?QM_BUILD names the build folder}
. "$(dirname "$0")/../../scripts/wine-env.sh"
mnt="$build/full-disk-download"
mkdir -p "$mnt"
if ! mountpoint -q "$mnt" && ! mount -t tmpfs -o size=64k qm-full-disk-download "$mnt" 2>/dev/null; then
  echo "cannot mount a small drive here; skipped"
  exit 77
fi
trap 'rm -f "$WINEPREFIX/dosdevices/r:"; umount "$mnt" 2>/dev/null || true' EXIT
rm -rf "${mnt:?}"/*
ln -sfn "$mnt" "$WINEPREFIX/dosdevices/r:"
log="$build/full-disk-download.log"
set +e
# The child's window is the first of the session, and the desktop process Wine then starts
# inherits the child's output: given this script's, it would keep the test open until the
# whole session ends.
"$(dirname "$0")/../../scripts/wine-run.sh" "$exe" --qm-child=full_disk_download 'R:\' </dev/null >"$log" 2>&1
code=$?
set -e
cat "$log"
echo "full_disk_download child exit code: $code (0: the download failed and the old file stayed whole)"
exit $code
