#!/usr/bin/env bash
# The release files of a version, the setup program and the zip, sit in dist/ beside what they
# were made of. Making dist/ again keeps them, so that `make zip` after `make installer` (or the
# other way round) leaves both, but only while dist/ still holds what they were made of: a
# release file of other content would ship something else than dist/ holds.
#   installer/release-files.sh clear  DIST BUILD VERSION   empties DIST but for the release files
#   installer/release-files.sh check  DIST BUILD VERSION   drops those made of other content
#   installer/release-files.sh record DIST BUILD VERSION FILE   FILE was just made of DIST
set -euo pipefail
action=${1:?action}
dist=${2:?dist folder}
build=${3:?build folder}
version=${4:?version}
names=("Quillmoor-Setup-$version.exe" "Quillmoor-$version.zip")
sums="$build/release"

# One checksum of every file in dist/ but the release files, names included.
content_sum() {
  (cd "$dist" && find . -type f ! -path './Quillmoor-Setup-*.exe' ! -path './*.zip' -print0 |
     LC_ALL=C sort -z | xargs -0r sha256sum | sha256sum | cut -c1-64)
}

case $action in
  clear)
    mkdir -p "$dist"
    keep=()
    for n in "${names[@]}"; do keep+=(! -name "$n"); done
    find "$dist" -mindepth 1 -maxdepth 1 "${keep[@]}" -exec rm -rf {} +
    ;;
  check)
    now=$(content_sum)
    for n in "${names[@]}"; do
      [ -e "$dist/$n" ] || continue
      if [ "$(cat "$sums/$n.sum" 2>/dev/null)" != "$now" ]; then
        rm -f "$dist/$n" "$sums/$n.sum"
        echo "dist: removed $n, made of other content than dist/ now holds"
      fi
    done
    ;;
  record)
    file=${5:?release file}
    mkdir -p "$sums"
    content_sum >"$sums/$(basename "$file").sum"
    ;;
  *)
    echo "release-files.sh: unknown action $action" >&2
    exit 2
    ;;
esac
