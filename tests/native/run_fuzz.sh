#!/usr/bin/env bash
# Runs one libFuzzer target of the native build for a bounded time.
#
#   run_fuzz.sh <native-build> <target> <work-dir> <seed-corpus> [libFuzzer options...]
#
# Builds the target first (nothing to do after a full build), then fuzzes with a fresh scratch
# corpus in <work-dir>/corpus, so new inputs never land among the committed seeds. Any crash, leak,
# sanitizer report, slow input (-timeout) or memory excess (-rss_limit_mb) ends the run with a
# non-zero status; the input that caused it is kept in <work-dir>/artifacts.
set -euo pipefail
[ $# -ge 4 ] || { echo "usage: $0 <native-build> <target> <work-dir> <seed-corpus> [options...]" >&2; exit 2; }
native=$1 target=$2 work=$3 seeds=$4
shift 4

cmake --build "$native" --target "$target"
rm -rf "$work/corpus"
mkdir -p "$work/corpus" "$work/artifacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec "$native/tests/native/$target" -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$@" \
  "$work/corpus" "$seeds"
