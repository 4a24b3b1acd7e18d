#!/usr/bin/env bash
# ./run demo [--headless] [--screenshot FILE]: the host simulator serves CAT for its first
# transceiver to two clients at once: Hamlib's rigctl (model 2028, a TS-480 client) over TCP on
# 127.0.0.1:4480, and a second rigctl on the plug-in's own virtual port (a pseudo-terminal
# published as $XDG_RUNTIME_DIR/kenwood-ts480/RX1). Their steps alternate, each shown with the
# lines the host printed for it; then a raw TCP client with auto-information on is told of the
# host's tuning unasked, and the channel's log view shows every line with its session's name.
# Needs neither root nor socat. With a display the host keeps running with its window
# afterwards; headless it ends. --screenshot renders the window, with the channel's log, to
# FILE at the end (headless).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bin=$root/build/bin

headless=0
screenshot=
while [ $# -gt 0 ]; do
    case "$1" in
        --headless) headless=1 ;;
        --screenshot) [ $# -ge 2 ] || { echo "demo: --screenshot needs a file" >&2; exit 2; }
                      screenshot=$(realpath -m "$2"); headless=1; shift ;;
        *) echo "usage: ./run demo [--headless] [--screenshot FILE]" >&2; exit 2 ;;
    esac
    shift
done
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || headless=1

die() { echo "demo: $*" >&2; exit 1; }

command -v rigctl >/dev/null || die "rigctl is missing (./run demo installs it as root)"
[ -x "$bin/host-sim" ] && [ -f "$bin/libKenwoodTS480.so" ] || die "build first: ./run demo builds"

work=$(mktemp -d /tmp/cat-demo.XXXXXX)
host_pid=
cleanup() {
    local status=$?
    set +e
    trap - EXIT INT TERM
    if [ -n "$host_pid" ]; then kill -TERM "$host_pid" 2>/dev/null; wait "$host_pid" 2>/dev/null; fi
    exec 3>&-
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The virtual port's link for RX 1. A host of the user's own may be serving that name already:
# the demo then publishes its port in a runtime folder of its own rather than replacing it.
folder=${XDG_RUNTIME_DIR:+$XDG_RUNTIME_DIR/kenwood-ts480}
folder=${folder:-/tmp/kenwood-ts480-$(id -u)}
if [ -L "$folder/RX1" ]; then
    mkdir -m 0700 "$work/runtime"
    export XDG_RUNTIME_DIR=$work/runtime
fi

# The TCP port of RX 1, 4480 unless something already listens there (another demo, a host of
# the user's own): then the next free one.
listening() { (exec 5<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
tcp_port=4480
while listening "$tcp_port"; do tcp_port=$((tcp_port + 100)); done

# The host's settings: CAT on for the first transceiver, on its virtual port, 9600 bit/s 8N1
# (BoudRate row 3, Data row 3, no parity, one stop bit; meaningless on a pseudo-terminal), and
# its TCP server on, for this machine only (the default lists).
cat >"$work/host-sim.ini" <<INI
[CAT_TS480]
RX0\\Name=Virtual port
RX0\\BoudRate=3
RX0\\Data=3
RX0\\Parity=0
RX0\\StopBit=0
RX0\\Enable=true
RX0\\TcpPort=$tcp_port
RX0\\TcpEnable=true
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
# One rigctl invocation; `tcp` or `vport` first says which of the two clients runs it.
client() {
    local which=$1 port label answer
    shift
    if [ "$which" = tcp ]; then port=127.0.0.1:$tcp_port; label="   tcp"; else port=$client_path; label=" vport"; fi
    echo "rigctl $label> $*"
    if ! answer=$(rigctl -m 2028 -r "$port" -s 9600 "$@" 2>&1); then
        echo "$answer" | sed "s/^/  $label client | /"
        die "rigctl failed on: $*"
    fi
    [ -n "$answer" ] && echo "$answer" | sed "s/^/  $label client | /"
    show_host_lines
}

wait_for_host_line "^virtual port RX1 "
client_path=$(sed -n 's/^virtual port RX1 //p' "$work/host.log" | head -n 1)
echo "== host-sim serves CAT for RX 1 to two clients at once =="
echo "   tcp:   rigctl -m 2028 -r 127.0.0.1:$tcp_port"
echo "   vport: rigctl -m 2028 -r $client_path"
show_host_lines
echo

host_script() {
    echo "  host> $1   ($2)"
    echo "$1" >&3
    wait_for_host_line "ok $1"
    show_host_lines
}

host_script "logview 0 1" "the channel's log view shows the traffic"

# Each read runs in an invocation of its own: rigctl answers a read that follows a set in the
# same invocation from its own cache. The two clients take turns on the same radio.
client tcp f
client vport F 7074000
client tcp f
client tcp M LSB 0
client vport m
client vport M USB 0
client tcp m
# rigctl keys the transmitter and exits: what it keyed is released with it.
client tcp T 1 t
client vport t
host_script "smeter 0 -73" "the simulated signal goes to S9"
client vport l STRENGTH
client tcp l STRENGTH
echo

# A client of its own over TCP (bash's /dev/tcp), with auto-information on: it is told, unasked,
# of what changes, whoever changed it.
echo "== A raw TCP client sends AI2; and then only listens =="
exec 4<>"/dev/tcp/127.0.0.1/$tcp_port"
# AI; after it answers once the setting is in force; only then does the host change anything.
printf 'AI2;AI;' >&4
IFS= read -r -t 2 -d ';' setting <&4 || die "no answer to AI;"
echo "    answer | $setting;"
listen() {
    local reply
    while IFS= read -r -t 1 -d ';' reply <&4; do echo "    pushed | $reply;"; done
}
host_script "vfo 0 14200000" "the host's user tunes VFO A"
listen
client vport M CW 0
listen
exec 4>&-
echo

# The log view's lines, as the host's "log" script line prints them: the last few suffice.
echo "  host> log 0   (the channel's log view, every line named by its session; the last 30)"
echo "log 0" >&3
wait_for_host_line "ok log 0"
sleep 0.3
tail -n +"$((seen + 1))" "$work/host.log" | sed -n 's/^log /        log | /p' | tail -n 30
seen=$(wc -l <"$work/host.log")
echo

if [ "$headless" -eq 0 ]; then
    echo "== The host simulator keeps running with its window. =="
    echo "   Point your programs at 127.0.0.1:$tcp_port (Hamlib: Kenwood TS-480 with that as its"
    echo "   port) or at $client_path (Kenwood TS-480, 9600 bit/s, 8N1)."
    echo "   Press Ctrl+C here to end the demo."
    wait "$host_pid" || true
    host_pid=
else
    [ -z "$screenshot" ] || host_script "screenshot $screenshot" "the window, saved as a picture"
    echo "quit" >&3
    wait "$host_pid"
    host_pid=
    show_host_lines
    echo "== Done: the host saved its settings and ended. =="
fi
