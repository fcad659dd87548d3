#!/bin/sh
# Runs a command on an X server of its own: on-screen.sh WxHxD COMMAND...
# Xvfb picks a free display itself (-displayfd), so tests started side by side
# never race for the same display number as "xvfb-run -a" does. -noreset: a
# server that resets when its last client leaves refuses the next one for a
# moment, and a test's programs come and go.
set -u
geometry=$1
shift
dir=$(mktemp -d)
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$dir"' EXIT
Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp -noreset 3>"$dir/display" >"$dir/log" 2>&1 &
xvfb=$!
i=0
until [ -s "$dir/display" ]; do
    i=$((i + 1))
    if [ $i -gt 300 ] || ! kill -0 "$xvfb" 2>/dev/null; then
        echo "Xvfb did not start:"; cat "$dir/log"; exit 1
    fi
    sleep 0.1
done
DISPLAY=:$(head -n1 "$dir/display")
export DISPLAY
"$@"
rc=$?
# The server's own account helps when a program could not reach it.
[ $rc -eq 0 ] || { echo "-- Xvfb on $DISPLAY said:"; cat "$dir/log"; }
exit $rc
