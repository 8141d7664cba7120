#!/usr/bin/env bash
# The libFuzzer harnesses of fuzz/ (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer), built in a tree of their own.
#   scripts/fuzz.sh build                    configure and build build/fuzz
#   scripts/fuzz.sh replay [NAME...]         run every seed once (what the test suite does)
#   scripts/fuzz.sh run NAME [SECONDS] [FLAG...]
#                                            fuzz one harness (300 s by default); new inputs go to
#                                            build/fuzz/corpus/NAME, crashes to build/fuzz/crashes/NAME
# Harnesses: dbf fpt cdx expression access_dialect mdb. The mdb harness also
# starts from the shared Access files (M2K_SHARED_DIR, ../shared by default)
# and the generated samples in build/samples.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${M2K_FUZZ_BUILD:-$root/build/fuzz}
shared=${M2K_SHARED_DIR:-$root/../shared}
all=(dbf fpt cdx expression access_dialect mdb)

build() {
  command -v clang++ >/dev/null || { echo "clang++ is needed (scripts/deps.sh installs it)" >&2; exit 1; }
  local launcher=()
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  CC=clang CXX=clang++ cmake -S "$root/fuzz" -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
  cmake --build "$out" -j2
}

# Seed files of one harness: the corpus in the repository, and for the Access
# reader the real Access files beside the checkout.
seeds() {
  find "$root/fuzz/corpus/$1" -type f
  if [ "$1" = mdb ] && [ -d "$shared/fixtures/mdb" ]; then
    find "$shared/fixtures/mdb" -type f -iname '*.mdb'
  fi
}

replay() {
  local names=("$@") status=0
  [ ${#names[@]} -gt 0 ] || names=("${all[@]}")
  for name in "${names[@]}"; do
    mapfile -t files < <(seeds "$name")
    echo "== $name: ${#files[@]} inputs"
    if ! "$out/bin/fuzz_$name" -timeout=30 -rss_limit_mb=2048 "${files[@]}" >"$out/replay_$name.log" 2>&1; then
      tail -40 "$out/replay_$name.log" >&2
      status=1
    fi
  done
  return $status
}

run() {
  local name=$1 seconds=${2:-300}
  shift $(( $# >= 2 ? 2 : 1 ))
  local work="$out/corpus/$name" crashes="$out/crashes/$name"
  mkdir -p "$work" "$crashes"
  seeds "$name" | while read -r f; do cp -n "$f" "$work/"; done
  if [ "$name" = mdb ] && [ -d "$root/build/samples" ]; then
    find "$root/build/samples" -type f -iname '*.mdb' -size -400k | while read -r f; do
      cp -n "$f" "$work/$(basename "$(dirname "$f")")_$(basename "$f")"
    done
  fi
  "$out/bin/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$crashes/" -print_final_stats=1 "$@" "$work"
}

case "${1:-}" in
  build) build ;;
  replay) shift; replay "$@" ;;
  run) shift; [ $# -ge 1 ] || { echo "usage: $0 run NAME [SECONDS] [FLAG...]" >&2; exit 2; }; run "$@" ;;
  *) sed -n '2,12p' "$0" >&2; exit 2 ;;
esac
