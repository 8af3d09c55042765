#!/usr/bin/env bash
# Saves of "setting.dat" on a full disk: a 64 KiB drive (a tmpfs mounted for the test and given
# to the Wine prefix as drive Q:), filled up by the test program's child "full_disk".
# Where this machine does not let us mount a tmpfs (no root, a container without the right),
# there is no small disk to fill: the test exits with 77, which CTest reports as skipped.
set -euo pipefail
exe=${1:?test program}
skip_code=77
build=${QM_BUILD:?QM_BUILD names the build folder}
. "$(dirname "$0")/../../scripts/wine-env.sh"
mnt="$build/full-disk"
mkdir -p "$mnt"
if ! mountpoint -q "$mnt" && ! err=$(mount -t tmpfs -o size=64k qm-full-disk "$mnt" 2>&1); then
  echo "skipped: cannot mount a 64 KiB tmpfs at $mnt here (${err:-mount failed})"
  exit $skip_code
fi
trap 'rm -f "$WINEPREFIX/dosdevices/q:"; umount "$mnt" 2>/dev/null || true' EXIT
# A run that was cut short may have left the drive mounted and full.
find "$mnt" -mindepth 1 -delete
ln -sfn "$mnt" "$WINEPREFIX/dosdevices/q:"
set +e
"$(dirname "$0")/../../scripts/wine-run.sh" "$exe" --qm-child=full_disk 'Q:\'
code=$?
set -e
echo "full_disk child exit code: $code (0: the failed save was reported and the file stayed whole)"
# A failure must never read as a skip.
[ $code -eq $skip_code ] && code=1
exit $code
