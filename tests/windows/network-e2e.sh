#!/usr/bin/env bash
# network-e2e.sh WIN_BUILD LINUX_BUILD: orbiqa-cli.exe under Wine through network ports, against
# ser2net running on the Linux side in front of the Linux orbiqa-modsim, on loopback only: a read
# through RFC 2217 must give the very bytes the Linux orbiqa-cli reads locally, a write and a
# compare must succeed through a raw port, a second client must be told the port is busy, and an
# address nobody listens on must fail with exit status 3.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
WIN_BUILD=$(readlink -f "$1")
LINUX_BUILD=$(readlink -f "$2")
source "$here/wine-env.sh"

readonly kSimPort=COM92
readonly kSimStartSeconds=10
readonly kListenSeconds=10
cli_linux=$LINUX_BUILD/bin/orbiqa-cli
cli_windows=$WIN_BUILD/bin/orbiqa-cli.exe
shim=$LINUX_BUILD/bin/liborbiqa_ptylines_shim.so
for program in "$LINUX_BUILD/bin/orbiqa-modsim" "$cli_linux" "$cli_windows" "$shim" /usr/sbin/ser2net; do
    [ -e "$program" ] || { echo "network-e2e.sh: $program is missing" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() {
    # ser2net ends with a failure status when terminated; that is no failure of this test.
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
listening() { ss -Hltn "sport = :$1" | grep -q .; }

"$LINUX_BUILD/bin/orbiqa-modsim" --fast --port "$kSimPort" --link-dir "$XDG_CONFIG_HOME/orbiqa/ports" >"$work/sim.out" &
pids+=($!)
for _ in $(seq $((kSimStartSeconds * 10))); do
    grep -q -- '->' "$work/sim.out" 2>/dev/null && break
    sleep 0.1
done
pty=$(sed -n 's/^orbiqa-modsim: [A-Z0-9]* -> //p' "$work/sim.out")
[ -n "$pty" ] || { echo "network-e2e.sh: orbiqa-modsim did not start" >&2; exit 1; }

telnet_port=$(free_port)
raw_port=$(free_port)
cat >"$work/ser2net.yaml" <<YAML
connection: &rfc2217
  accepter: telnet(rfc2217),tcp,127.0.0.1,$telnet_port
  connector: serialdev,$pty,9600n81,local
  options:
    chardelay: false
connection: &raw
  accepter: tcp,127.0.0.1,$raw_port
  connector: serialdev,$pty,19200n81,local
  options:
    chardelay: false
YAML
LD_PRELOAD=$shim /usr/sbin/ser2net -n -d -c "$work/ser2net.yaml" -P "$work/ser2net.pid" >"$work/ser2net.log" 2>&1 &
pids+=($!)
for _ in $(seq $((kListenSeconds * 10))); do
    listening "$telnet_port" && listening "$raw_port" && break
    sleep 0.1
done
listening "$telnet_port" || { echo "network-e2e.sh: ser2net did not listen" >&2; cat "$work/ser2net.log"; exit 1; }

step() { echo "--- $*"; }
expect_status() {  # expect_status N COMMAND...
    local want=$1; shift
    set +e; "$@"; local got=$?; set -e
    [ "$got" -eq "$want" ] || { echo "network-e2e.sh: status $got, expected $want: $*" >&2; exit 1; }
}

step "Linux read through the local port, the reference"
"$cli_linux" read "$work/linux.VR3" --port "$kSimPort"
step "Windows read through rfc2217://"
wine "$cli_windows" read "$(wine_path "$work")\\windows.VR3" --port "rfc2217://127.0.0.1:$telnet_port"
cmp "$work/linux.VR3" "$work/windows.VR3"
step "Windows write and compare through socket://"
wine "$cli_windows" write "$(wine_path "$work")\\windows.VR3" --port "socket://127.0.0.1:$raw_port" --verify
wine "$cli_windows" compare "$(wine_path "$work")\\windows.VR3" --port "rfc2217://127.0.0.1:$telnet_port"
step "An address nobody listens on"
expect_status 3 wine "$cli_windows" version --port "rfc2217://127.0.0.1:$(free_port)"
echo "network-e2e.sh: all steps passed"
