# Shared by the install checks: a private X display, an ordinary user with a home
# of its own, and the outcome of the checks. Sourced; $work must be set.

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

# The programs run as an ordinary user, as they would on a desktop. CI runs as
# root, so the user is "nobody"; run by anybody else, the checks run as that user.
if [ "$(id -u)" -eq 0 ]; then
    run_user=nobody
else
    run_user=$(id -un)
fi

# A home of its own (settings land there) and a runtime folder of its own (the
# command link's socket lives there, away from other readers of the same user).
make_home() {
    local home=$1
    mkdir -p "$home/run"
    chmod 700 "$home/run"
    if [ "$(id -u)" -eq 0 ]; then
        chown -R "$run_user:" "$home"
    fi
}

# Sets $as_user to the command prefix that runs a program as the ordinary user
# with nothing of the caller's environment but what a desktop session would give
# it. Usage: user_prefix HOME [PATH]
user_prefix() {
    local home=$1
    local env=(HOME="$home" USER="$run_user" LOGNAME="$run_user" LANG=C.UTF-8
        PATH="${2:-/usr/local/bin:/usr/bin:/bin}" DISPLAY="$display"
        XDG_RUNTIME_DIR="$home/run" SONOREL_AUDIO=silent)
    if [ "$(id -u)" -eq 0 ]; then
        as_user=(runuser -u "$run_user" -- env -i "${env[@]}")
    else
        as_user=(env -i "${env[@]}")
    fi
}

# An X server on a display nobody else uses, open to the ordinary user.
start_display() {
    : >"$work/display"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset -ac 3>"$work/display" \
        >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    local i
    for i in $(seq 1 300); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    [ -s "$work/display" ] || { echo "Xvfb did not start:"; cat "$work/xvfb.log"; exit 1; }
    display=:$(head -n1 "$work/display")
}

stop_display() {
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=
}

# Waits until COMMAND succeeds; false when it never does. The bound only keeps a
# broken program from hanging the test run.
wait_until() {
    local bound=$1
    shift
    local end=$((SECONDS + bound))
    until "$@"; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.2
    done
}

# The visible window whose whole title is TITLE.
window_titled() {
    DISPLAY=$display xdotool search --onlyvisible --name "^$(printf '%s' "$1" | sed 's/[][().*+?^$|\\]/\\&/g')\$" 2>/dev/null | head -n1
}
has_window_titled() { [ -n "$(window_titled "$1")" ]; }

# Starts a command in a process group of its own, so that ending it ends all it
# started (runuser, strace, the program). Sets $group to the group's id.
start_group() {
    setsid "$@" &
    group=$!
}

# Ends a process group started by start_group and waits for its leader.
end_group() {
    local id=$1
    kill -TERM -- "-$id" 2>/dev/null || true
    local i
    for i in $(seq 1 50); do
        kill -0 -- "-$id" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL -- "-$id" 2>/dev/null || true
    wait "$id" 2>/dev/null || true
}

finish() {
    if [ "$failures" -eq 0 ]; then
        echo "all checks passed"
        exit 0
    fi
    echo "$failures check(s) failed"
    exit 1
}
