#!/usr/bin/env bash
# second-start.sh BIN_DIR: `orbiqa FILE.VR3` while Orbiqa runs for the same settings folder hands
# the file to the running program and ends at once with status 0, writing nothing; a start for
# another settings folder runs on its own.
set -euo pipefail
bin=$(readlink -f "$1")
work=$(mktemp -d)
first=""
cleanup() {
    if [ -n "$first" ]; then
        kill "$first" 2>/dev/null || true
        wait "$first" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config
mkdir -p "$work/runtime" "$work/a" "$work/b"
chmod 700 "$work/runtime"

(cd "$work/a" && exec "$bin/orbiqa") &
first=$!
# The running program listens once its channel exists.
for _ in $(seq 300); do
    compgen -G "$work/runtime/orbiqa-*.sock" >/dev/null && break
    kill -0 "$first" 2>/dev/null || fail "the first program ended"
    sleep 0.1
done
compgen -G "$work/runtime/orbiqa-*.sock" >/dev/null || fail "the first program opened no channel"

head -c 1088 /dev/zero > "$work/a/Ügyfél 1.VR3"
status=0
(cd "$work/a" && timeout 60 "$bin/orbiqa" "Ügyfél 1.VR3") || status=$?
[ $status -eq 0 ] || fail "the second start ended with status $status instead of handing the file over"
kill -0 "$first" 2>/dev/null || fail "the running program ended"
[ "$(ls "$work/runtime" | grep -c '\.sock$')" -eq 1 ] || fail "a second channel was opened"
# The other folder's program listens on its own channel.
(cd "$work/b" && exec "$bin/orbiqa") &
second=$!
socks=0
for _ in $(seq 300); do
    socks=$(ls "$work/runtime" | grep -c '\.sock$' || true)
    [ "$socks" -eq 2 ] && break
    kill -0 "$second" 2>/dev/null || break
    sleep 0.1
done
kill "$second" 2>/dev/null; wait "$second" 2>/dev/null || true
[ "$socks" -eq 2 ] || fail "a program for another settings folder did not run on its own"
echo "second start: handed over"
