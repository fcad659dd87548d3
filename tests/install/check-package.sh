#!/usr/bin/env bash
# Builds the Debian package with CPack and checks it on this machine: its
# dependencies cover every library the programs link, dpkg installs it, the
# reader starts from its menu entry with a file to read, and dpkg removes every
# file it installed. Installing changes the machine, so this needs root (exit 77,
# a skip, otherwise) and never runs beside another test.
# Usage: check-package.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
source_dir=$1
build_dir=$2

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: installing a package needs root"
    exit 77
fi
if dpkg-query -W -f='${Status}' sonorel 2>/dev/null | grep -q 'ok installed'; then
    echo "SKIP: a sonorel package is installed on this machine already; this test leaves it alone"
    exit 77
fi

work=$(mktemp -d)
chmod 755 "$work"
. "$(dirname "$0")/session.sh"
installed=
cleanup() {
    [ -n "${group:-}" ] && end_group "$group"
    stop_display
    [ -n "$installed" ] && dpkg -r sonorel >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

app_id=io.github.sonorel.Sonorel
version=$(sed -n 's/.*kVersionText.*"Version \([0-9.]*\)".*/\1/p' "$source_dir/src/app/program.h")
deb=$work/sonorel_${version}_amd64.deb

echo "== cpack"
if ! cpack -G DEB -B "$work" --config "$build_dir/CPackConfig.cmake" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    fail "cpack failed"
    finish
fi
[ -f "$deb" ] && pass "built $(basename "$deb")" || { fail "no $(basename "$deb"):" && ls "$work" && finish; }

echo "\$ dpkg-deb --info $(basename "$deb")"
dpkg-deb --info "$deb"
depends=$(dpkg-deb --field "$deb" Depends)
depends_names=$(printf '%s' "$depends" | tr ',' '\n' | sed -E 's/^ *//; s/[ (].*//' | sort -u)
[ "$(dpkg-deb --field "$deb" Package)" = sonorel ] || fail "the package is not named sonorel"
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "the package's version is not $version"

echo "== every library the programs link comes from a package it depends on"
dpkg-deb -x "$deb" "$work/contents"
for program in sorel Vocelle sonorel-say; do
    binary=$work/contents/usr/lib/sonorel/$program
    for library in $(objdump -p "$binary" | awk '/NEEDED/ { print $2 }'); do
        path=$(ldconfig -p | awk -v lib="$library" '$1 == lib && /x86-64/ { print $NF; exit }')
        owner=$(dpkg -S "$(readlink -f "$path")" 2>/dev/null | head -n1 | cut -d: -f1)
        [ -n "$owner" ] || owner=$(dpkg -S "$path" 2>/dev/null | head -n1 | cut -d: -f1)
        if [ -z "$owner" ]; then
            fail "$program links $library, which no Debian package provides here"
        elif printf '%s\n' "$depends_names" | grep -qx "$owner"; then
            pass "$program: $library from $owner"
        else
            fail "$program links $library from $owner, which the package does not depend on"
        fi
    done
done

echo "== dpkg -i"
if dpkg -i "$deb" >"$work/dpkg-i.log" 2>&1; then
    installed=yes
    pass "dpkg -i installed the package"
else
    installed=yes
    cat "$work/dpkg-i.log"
    fail "dpkg -i failed"
    finish
fi
dpkg -L sonorel | sort >"$work/listed"
while read -r path; do
    [ -e "$path" ] || [ -L "$path" ] || fail "listed but not installed: $path"
done <"$work/listed"
menu_entry=/usr/share/applications/$app_id.desktop
[ -f "$menu_entry" ] && pass "menu entry $menu_entry" || fail "no menu entry $menu_entry"
# File managers offer "Open with" from the desktop's MIME cache, which dpkg's
# trigger rebuilds.
offered() { grep "^$1=" /usr/share/applications/mimeinfo.cache 2>/dev/null | grep -q "$app_id.desktop"; }
for type in text/plain text/rtf; do
    offered "$type" && pass "offered for $type files" || fail "not offered for $type files"
done

echo "== the menu entry opens a file with the reader, run by $run_user under Xvfb"
home=$work/home
make_home "$home"
document="$home/Read me aloud.txt"
printf 'Opened from the file manager by the Sonorel menu entry.\n' >"$document"
[ "$(id -u)" -eq 0 ] && chown "$run_user:" "$document"
# What a file manager runs: the Exec line, with %f replaced by the one file.
exec_line=$(sed -n 's/^Exec=//p' "$menu_entry")
read -r -a command <<<"$exec_line"
for i in "${!command[@]}"; do
    [ "${command[$i]}" = "%f" ] && command[$i]=$document
done
start_display
user_prefix "$home"
start_group "${as_user[@]}" "${command[@]}" >"$work/reader.log" 2>&1
if wait_until 120 has_window_titled "Mary (TTS4.0)"; then
    pass "\"${command[*]}\" shows the reader's window"
else
    fail "\"${command[*]}\" showed no window titled \"Mary (TTS4.0)\""
fi
window=$(window_titled "Mary (TTS4.0)")
reader_pid=$(DISPLAY=$display xdotool getwindowpid "$window" 2>/dev/null)
[ "$(readlink -f "/proc/$reader_pid/exe" 2>/dev/null)" = /usr/lib/sonorel/sorel ] &&
    pass "the window is the installed reader's" || fail "the window is not /usr/lib/sonorel/sorel's"
# The file's text is in the reading box: stop the reading (so that no word it
# highlights takes the selection), select it all, copy it and read the clipboard
# back. The clipboard watch reads the copy aloud again; a copy of a lone word
# would have made it the box's text, so Stop comes first, and the word notices
# the engine had already sent arrive before the selection is made.
expected=$(head -n1 "$document")
copied() { DISPLAY=$display timeout 5 xclip -selection clipboard -o 2>/dev/null; }
copy_text() {
    DISPLAY=$display xdotool windowfocus --sync "$window" key --clearmodifiers alt+s 2>/dev/null
    sleep 1
    DISPLAY=$display xdotool windowfocus --sync "$window" key --clearmodifiers ctrl+a ctrl+c \
        2>/dev/null
    sleep 0.3
    [ "$(copied)" = "$expected" ]
}
if wait_until 60 copy_text; then
    pass "the reader shows the file's text"
else
    fail "the reader shows \"$(copied)\", not the file's text"
fi
end_group "$group"
group=
stop_display
extra=$(cd /usr/lib/sonorel && find . ! -type d | sed 's:^\.:/usr/lib/sonorel:' | sort | comm -23 - "$work/listed")
[ -z "$extra" ] && pass "nothing written into /usr/lib/sonorel" || fail "written into the install: $extra"

echo "== dpkg -r"
if dpkg -r sonorel >"$work/dpkg-r.log" 2>&1; then
    installed=
    pass "dpkg -r removed the package"
else
    cat "$work/dpkg-r.log"
    fail "dpkg -r failed"
fi
left=0
while read -r path; do
    if [ -L "$path" ] || { [ -e "$path" ] && [ ! -d "$path" ]; }; then
        fail "left behind: $path"
        left=1
    fi
done <"$work/listed"
[ -e /usr/lib/sonorel ] && fail "left behind: /usr/lib/sonorel" && left=1
[ $left -eq 0 ] && pass "every installed file is gone"
for type in text/plain text/rtf; do
    offered "$type" && fail "still offered for $type files"
done
status=$(dpkg-query -W -f='${Status}' sonorel 2>/dev/null)
case $status in "" | *not-installed*) pass "the package is gone" ;; *) fail "the package is still '$status'" ;; esac
finish
