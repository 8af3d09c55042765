#!/usr/bin/env bash
# Saves of "setting.dat" on a full disk: a 64 KiB drive (a tmpfs mounted for the test and given
# to the Wine prefix as drive Q:), filled up by the test program's child "full_disk".
set -euo pipefail
exe=${1:?test program}
build=${QM_BUILD:?QM_BUILD names the build folder}
. "$(dirname "$0")/../../scripts/wine-env.sh"
mnt="$build/full-disk"
mkdir -p "$mnt"
mountpoint -q "$mnt" || mount -t tmpfs -o size=64k qm-full-disk "$mnt"
trap 'rm -f "$WINEPREFIX/dosdevices/q:"; umount "$mnt" 2>/dev/null || true' EXIT
ln -sfn "$mnt" "$WINEPREFIX/dosdevices/q:"
set +e
"$(dirname "$0")/../../scripts/wine-run.sh" "$exe" --qm-child=full_disk 'Q:\'
code=$?
set -e
echo "full_disk child exit code: $code (0: the failed save was reported and the file stayed whole)"
exit $code
