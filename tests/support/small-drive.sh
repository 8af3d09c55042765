#!/usr/bin/env bash
# Runs one child of a test program against a full disk: a 64 KiB drive (a tmpfs mounted for the
# test and given to the Wine prefix as a drive letter of its own), handed to the child as its
# argument.
# Usage: small-drive.sh TEST_PROGRAM CHILD_NAME DRIVE_LETTER
# Where this machine does not let us mount a tmpfs (no root, a container without the right),
# there is no small disk: the test exits with 77, which CTest reports as skipped.
set -euo pipefail
exe=${1:?test program}
child=${2:?child name}
drive=${3:?drive letter}
skip_code=77
build=${QM_BUILD:?QM_BUILD names the build folder}
. "$(dirname "$0")/../../scripts/wine-env.sh"
mnt="$build/small-drive-$drive"
mkdir -p "$mnt"
if ! mountpoint -q "$mnt" && ! err=$(mount -t tmpfs -o size=64k "qm-small-drive-$drive" "$mnt" 2>&1); then
  echo "skipped: cannot mount a 64 KiB tmpfs at $mnt here (${err:-mount failed})"
  exit $skip_code
fi
trap 'rm -f "$WINEPREFIX/dosdevices/$drive:"; umount "$mnt" 2>/dev/null || true' EXIT
# A run that was cut short may have left the drive mounted and full.
find "$mnt" -mindepth 1 -delete
ln -sfn "$mnt" "$WINEPREFIX/dosdevices/$drive:"
log="$build/small-drive-$drive.log"
set +e
# When the child's window is the first of the session, the desktop process Wine then starts
# inherits the child's output: given this script's, it would keep the test open until the
# whole session ends. So the child writes to a file, shown afterwards.
"$(dirname "$0")/../../scripts/wine-run.sh" "$exe" "--qm-child=$child" "${drive^^}:\\" </dev/null >"$log" 2>&1
code=$?
set -e
cat "$log"
echo "$child child exit code: $code (0: the failure was reported and the old file stayed whole)"
# A failure must never read as a skip.
[ $code -eq $skip_code ] && code=1
exit $code
