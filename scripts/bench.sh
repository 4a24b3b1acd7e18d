#!/usr/bin/env bash
# ./run bench [--quick] [--before DIR]: runs the plug-in inside host-sim over socat pairs linked
# as /dev/COMn, beside the benchmark's two reference servers, prints one table and writes
# build/bench/results.json. Extra arguments go to cat-bench (--quick: fewer samples; --before:
# the bin folder of an earlier build, measured in the same run beside this one).
# BENCH_BUILD names another build folder to take the programs from (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bin=$root/${BENCH_BUILD:-build}/bin

die() { echo "bench: $*" >&2; exit 1; }

if [ "$(id -u)" -ne 0 ]; then
    die "the benchmark needs root: it links /dev/COMn names to virtual serial pairs, the names
       the plug-in's port list looks for. Run it as root (sudo ./run bench)."
fi
command -v socat >/dev/null || die "socat is missing (./run bench installs it as root)"
for file in cat-bench host-sim libKenwoodTS480.so; do
    [ -e "$bin/$file" ] || die "$bin/$file is missing: build first (./run bench builds)"
done

exec "$bin/cat-bench" --host-sim "$bin/host-sim" --plugin "$bin/libKenwoodTS480.so" \
    --out "$root/build/bench/results.json" "$@"
