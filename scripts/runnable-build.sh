# Sourced by the scripts that run the built programs, with $build and $dist set (absolute).
# Where Wine cannot start 32-bit Windows programs (scripts/runs-32bit.sh says why), the x86-64
# build of the same sources stands in, built here in $build/x64 and run under 64-bit Wine;
# $build and $dist then name that build. Elsewhere nothing changes.
if [ "${QM_CPU:-}" != x86_64 ] && ! "$(dirname "${BASH_SOURCE[0]}")/runs-32bit.sh"; then
  echo "note: this kernel cannot run 32-bit programs, so Wine cannot start the 32-bit build;" \
       "using the x86-64 build of the same sources ($build/x64) under 64-bit Wine" >&2
  make -C "$(dirname "${BASH_SOURCE[0]}")/.." --no-print-directory dist \
    BUILD="$build/x64" DIST="$build/x64/dist" CPU=x86_64 >&2
  build=$build/x64
  dist=$build/dist
  export QM_CPU=x86_64
fi
if [ "${QM_CPU:-}" = x86_64 ]; then
  export QM_WINE=/usr/lib/wine/wine64
  export WINELOADER=$QM_WINE
fi
