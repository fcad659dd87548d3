#!/usr/bin/env bash
# The Writer toolbar extension in a real LibreOffice, run by an ordinary user
# (unopkg refuses root) in a throw-away profile:
#  - `unopkg add` installs Speak.oxt and `unopkg list` shows it;
#  - the Read button in a headless Writer hands token + "_1" + the document's
#    whole text (a short one and one over 128 KiB) to the reader's link, and the
#    selection alone when there is one; Speak/Pause and Stop hand "_2" and "_3";
#  - with no reader running, Read starts `sorel` (a stand-in first on PATH that
#    records its start and then serves the link) and delivers the text to it.
# Usage: writer_extension.sh OXT TEST_SOURCE_DIR
# Exit 77 (skipped) only when LibreOffice is not installed.
set -uo pipefail
oxt=$1
here=$2
token=7D0A94E3B2C5F16850E7A3D9C4B1F062

if ! command -v unopkg >/dev/null || ! command -v soffice >/dev/null ||
    ! /usr/bin/python3 -c 'import uno' 2>/dev/null; then
    echo "SKIP: LibreOffice (unopkg, soffice, python3-uno) is not installed"
    exit 77
fi

work=$(mktemp -d)
chmod 755 "$work"
. "$here/../install/session.sh"
home=$work/home
make_home "$home"
mkdir -p "$work/bin" "$work/out"
cp "$oxt" "$work/Speak.oxt"
cp "$here/link_recorder.py" "$here/writer_driver.py" "$work/"
chmod 755 "$work"/*.py "$work/bin"
chmod 644 "$work/Speak.oxt"
[ "$(id -u)" -eq 0 ] && chown "$run_user:" "$work/out" "$work"
profile=file://$home/profile
uid=$(id -u "$run_user")
link_socket=$home/run/sonorel-$uid-sorel-FormDDE

recorder=
cleanup() {
    [ -n "$recorder" ] && end_group "$recorder"
    [ -n "${group:-}" ] && end_group "$group"
    [ -s "$work/reader.pid" ] && kill "$(cat "$work/reader.pid")" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

display= # no X: Writer runs headless
user_prefix "$home" "$work/bin:/usr/local/bin:/usr/bin:/bin"

echo "== unopkg add"
if "${as_user[@]}" unopkg add --force "$work/Speak.oxt" "-env:UserInstallation=$profile" \
    >"$work/add.log" 2>&1; then
    pass "unopkg add"
else
    cat "$work/add.log"
    fail "unopkg add failed"
    finish
fi
"${as_user[@]}" unopkg list "-env:UserInstallation=$profile" >"$work/list.log" 2>&1
if grep -q 'Identifier: io.github.sonorel.Speak' "$work/list.log" &&
    grep -q 'Speak.oxt/python/' "$work/list.log"; then
    pass "unopkg list shows the extension and its macros"
else
    cat "$work/list.log"
    fail "unopkg list does not show the extension"
fi

start_recorder() {
    start_group "${as_user[@]}" /usr/bin/python3 "$work/link_recorder.py" "$link_socket" "$work/out"
    recorder=$group
    group=
    wait_until 20 test -S "$link_socket" || fail "the test's link server did not start"
}

# press ACTION TEXT_FILE [FROM LENGTH]: presses a button; the document's text
# lands in $work/doc.txt.
press() {
    local action=$1 text=$2
    shift 2
    if ! "${as_user[@]}" /usr/bin/python3 "$work/writer_driver.py" "$profile" "$text" "$action" "$@" \
        >"$work/doc.txt" 2>"$work/driver.log"; then
        cat "$work/driver.log"
        fail "Writer did not run the $action button"
        return 1
    fi
}

# expect_message N FILE WHAT: the N-th message that arrived equals FILE's bytes.
expect_message() {
    local got=$work/out/message-$1.txt
    if [ -f "$got" ] && cmp -s "$got" "$2"; then
        pass "$3"
    else
        fail "$3: got $(head -c 80 "$got" 2>/dev/null | tr '\n' ' ')... ($(stat -c %s "$got" 2>/dev/null || echo no) bytes, expected $(stat -c %s "$2"))"
    fi
}

text_file() { # NAME CONTENT...
    printf '%s' "${@:2}" >"$work/$1"
    chmod 644 "$work/$1"
}

echo "== Read with a reader running"
start_recorder
text_file short.txt $'Hello from Writer.\nA second paragraph, with ümlauts and “quotes”.'
if press read_text "$work/short.txt"; then
    printf '%s' "${token}_1" | cat - "$work/doc.txt" >"$work/want1"
    expect_message 1 "$work/want1" "Read hands over the whole document"
    cmp -s "$work/doc.txt" "$work/short.txt" || fail "the document did not hold the text given"
fi

# Over 128 KiB, the most one command-line argument may hold.
/usr/bin/python3 -c '
import sys
line = "The quick brown fox jumps over the lazy dog, sentence number %d.\n"
sys.stdout.write("".join(line % i for i in range(3000)).rstrip("\n"))' >"$work/long.txt"
chmod 644 "$work/long.txt"
if press read_text "$work/long.txt"; then
    [ "$(stat -c %s "$work/doc.txt")" -gt 131072 ] || fail "the long document is not over 128 KiB"
    printf '%s' "${token}_1" | cat - "$work/doc.txt" >"$work/want2"
    expect_message 2 "$work/want2" "Read hands over a document over 128 KiB whole"
fi

if press read_text "$work/short.txt" 6 11; then
    printf '%s' "${token}_1from Writer" >"$work/want3"
    expect_message 3 "$work/want3" "Read hands over only the selection"
fi

press speak_pause "$work/short.txt" && {
    printf '%s' "${token}_2" >"$work/want4"
    expect_message 4 "$work/want4" "Speak/Pause hands over _2"
}
press stop "$work/short.txt" && {
    printf '%s' "${token}_3" >"$work/want5"
    expect_message 5 "$work/want5" "Stop hands over _3"
}
end_group "$recorder"
recorder=

echo "== Read with no reader running"
rm -rf "$work/out"/* "$link_socket"
# The stand-in reader records how it was started (it must get no text) and
# then serves the link.
cat >"$work/bin/sorel" <<EOF
#!/bin/sh
printf '%s\n' "\$#" "\$@" >"$work/out/started"
echo \$\$ >"$work/reader.pid"
exec /usr/bin/python3 "$work/link_recorder.py" "$link_socket" "$work/out"
EOF
chmod 755 "$work/bin/sorel"
press speak_pause "$work/short.txt"
[ -e "$work/out/started" ] && fail "Speak/Pause started a reader although there was nothing to pause"
if press read_text "$work/short.txt"; then
    if [ -f "$work/out/started" ] && [ "$(head -n1 "$work/out/started")" = 0 ]; then
        pass "Read started sorel without arguments"
    else
        fail "Read did not start sorel without arguments: $(cat "$work/out/started" 2>/dev/null)"
    fi
    printf '%s' "${token}_1" | cat - "$work/doc.txt" >"$work/want6"
    expect_message 1 "$work/want6" "the started reader got the whole document"
fi
# The stand-in runs in a session of its own.
[ -s "$work/reader.pid" ] && kill "$(cat "$work/reader.pid")" 2>/dev/null

finish
