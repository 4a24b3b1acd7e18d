#!/usr/bin/env bash
# ./run fuzz [seconds]: builds the command-stream fuzzer with clang (preset "fuzz", folder
# build/fuzzer, apart from build/fuzz where the default build keeps fuzz/'s part of its tree:
# AddressSanitizer, UndefinedBehaviorSanitizer, libFuzzer) and runs it for the given
# number of seconds (default 60), starting from the seeds in fuzz/corpus. New inputs gather in
# build/fuzzer/corpus; an input that crashes or fails a check lands in build/fuzzer/artifacts and
# the script exits non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

seconds=${1:-60}
case "$seconds" in
    ''|*[!0-9]*) echo "fuzz: seconds must be a whole number, not '$seconds'" >&2; exit 2 ;;
esac

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

corpus=$root/build/fuzzer/corpus
artifacts=$root/build/fuzzer/artifacts
mkdir -p "$corpus" "$artifacts"

export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export ASAN_OPTIONS="abort_on_error=1"

# An input holds an options byte, a stream of at most 2048 bytes and one length byte per read.
exec "$root/build/fuzzer/bin/fuzz_command_stream" \
    -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" "$root/fuzz/corpus"
