#!/usr/bin/env bash
# ./run demo [--headless]: the host simulator serves CAT for its first transceiver on one end
# of a virtual serial pair, and Hamlib's rigctl (model 2028, a TS-480 client) talks to it on
# the other end. Each client step is shown with the lines the host printed for it.
# With a display the host keeps running with its window afterwards; headless it ends.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bin=$root/build/bin

headless=0
[ "${1:-}" = "--headless" ] && headless=1
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || headless=1

die() { echo "demo: $*" >&2; exit 1; }

if [ "$(id -u)" -ne 0 ]; then
    die "the demo needs root: it links /dev/COMn names to a virtual serial pair, the names
      the plug-in's port list looks for. Run it as root (sudo ./run demo)."
fi
for tool in socat rigctl; do
    command -v "$tool" >/dev/null || die "$tool is missing (./run demo installs it as root)"
done
[ -x "$bin/host-sim" ] && [ -f "$bin/libKenwoodTS480.so" ] || die "build first: ./run demo builds"

# Two unused COM numbers: the host's end and the client's end.
free_ports=()
for n in $(seq 40 99); do
    [ -e "/dev/COM$n" ] || [ -L "/dev/COM$n" ] || free_ports+=("$n")
    [ "${#free_ports[@]}" -eq 2 ] && break
done
[ "${#free_ports[@]}" -eq 2 ] || die "no two free /dev/COMn names between COM40 and COM99"
host_port=COM${free_ports[0]}
client_port=COM${free_ports[1]}

work=$(mktemp -d /tmp/cat-demo.XXXXXX)
socat_pid=
host_pid=
cleanup() {
    local status=$?
    set +e
    trap - EXIT INT TERM
    if [ -n "$host_pid" ]; then kill -TERM "$host_pid" 2>/dev/null; wait "$host_pid" 2>/dev/null; fi
    if [ -n "$socat_pid" ]; then kill -TERM "$socat_pid" 2>/dev/null; wait "$socat_pid" 2>/dev/null; fi
    exec 3>&-
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The virtual serial pair; socat removes the links when it ends.
socat pty,raw,echo=0,link="/dev/$host_port" pty,raw,echo=0,link="/dev/$client_port" \
    2>"$work/socat.log" &
socat_pid=$!
for _ in $(seq 50); do
    [ -L "/dev/$host_port" ] && [ -L "/dev/$client_port" ] && break
    sleep 0.1
done
[ -L "/dev/$client_port" ] || die "socat did not create the pair: $(cat "$work/socat.log")"

# The host's settings: CAT on for the first transceiver, on the host's end of the pair,
# 9600 bit/s 8N1 (BoudRate row 3, Data row 3, no parity, one stop bit).
cat >"$work/host-sim.ini" <<INI
[CAT_TS480]
RX0\\Name=$host_port
RX0\\BoudRate=3
RX0\\Data=3
RX0\\Parity=0
RX0\\StopBit=0
RX0\\Enable=true
INI

# The host reads script lines (e.g. "smeter 0 -73") from this pipe.
mkfifo "$work/script"
exec 3<>"$work/script"
mode_flag=()
[ "$headless" -eq 1 ] && mode_flag=(--headless)
"$bin/host-sim" "${mode_flag[@]}" --settings "$work/host-sim.ini" --channels 2 --tx-channels 1 \
    <"$work/script" >"$work/host.log" 2>"$work/host.err" &
host_pid=$!

seen=0
wait_for_host_line() {
    for _ in $(seq 100); do
        grep -q "$1" "$work/host.log" && return 0
        kill -0 "$host_pid" 2>/dev/null || die "host-sim ended: $(cat "$work/host.err")"
        sleep 0.1
    done
    die "host-sim did not print '$1'"
}
show_host_lines() {
    sleep 0.3
    local total
    total=$(wc -l <"$work/host.log")
    if [ "$total" -gt "$seen" ]; then
        tail -n +"$((seen + 1))" "$work/host.log" | sed 's/^/        host | /'
    fi
    seen=$total
}
client() {
    echo "rigctl> $*"
    local answer
    if ! answer=$(rigctl -m 2028 -r "/dev/$client_port" -s 9600 "$@" 2>&1); then
        echo "$answer" | sed 's/^/      client | /'
        die "rigctl failed on: $*"
    fi
    [ -n "$answer" ] && echo "$answer" | sed 's/^/      client | /'
    show_host_lines
}

wait_for_host_line "manager setCatEnable 0 1"
echo "== host-sim serves CAT for RX 1 on /dev/$host_port; rigctl talks on /dev/$client_port =="
show_host_lines
echo

host_script() {
    echo "  host> $1   ($2)"
    echo "$1" >&3
    wait_for_host_line "ok $1"
    show_host_lines
}

# Each read runs in an invocation of its own: rigctl answers a read that follows a set in the
# same invocation from its own cache.
client f
client F 7074000
client f
client M LSB 0
client m
client M USB 0
client m
client T 1
client t
client T 0
client t
host_script "smeter 0 -73" "the simulated signal goes to S9"
client l STRENGTH
host_script "smeter 0 -100" "27 dB weaker"
client l STRENGTH
echo

if [ "$headless" -eq 0 ]; then
    echo "== The host simulator keeps running with its window. =="
    echo "   Point your logging program at /dev/$client_port (Kenwood TS-480, 9600 bit/s, 8N1)."
    echo "   Press Ctrl+C here to end the demo."
    wait "$host_pid" || true
    host_pid=
else
    echo "quit" >&3
    wait "$host_pid"
    host_pid=
    show_host_lines
    echo "== Done: the host saved its settings and ended. =="
fi
