#!/usr/bin/env bash
# Installs the built programs under /usr into a temporary DESTDIR and checks the
# install the way a desktop uses it: the validators on the desktop entries and the
# AppStream metadata, icons and manual pages, every shipped file in the program
# folder, and the installed reader started by an ordinary user under Xvfb: it
# shows its window, reads its shipped files from the install and writes its
# settings under the user's home, never into the install.
# Usage: check-install.sh SOURCE_DIR BUILD_DIR SHIPPED_FILE...
set -uo pipefail
source_dir=$1
build_dir=$2
shift 2
shipped=("$@")

work=$(mktemp -d)
chmod 755 "$work"
. "$(dirname "$0")/session.sh"
cleanup() {
    [ -n "${group:-}" ] && end_group "$group"
    stop_display
    chmod -R u+w "$work" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

app_id=io.github.sonorel.Sonorel
version=$(sed -n 's/.*kVersionText.*"Version \([0-9.]*\)".*/\1/p' "$source_dir/src/app/program.h")
dest=$work/root
usr=$dest/usr
program_dir=$usr/lib/sonorel

echo "== cmake --install (DESTDIR=$dest, prefix /usr)"
if ! DESTDIR=$dest cmake --install "$build_dir" --prefix /usr >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    fail "cmake --install failed"
    finish
fi
(cd "$dest" && find . ! -type d | sort)

echo "== programs"
for program in sorel Vocelle sonorel-say; do
    link=$usr/bin/$program
    if [ -L "$link" ] && [ "$(readlink -f "$link")" = "$(readlink -f "$program_dir/$program")" ] &&
        [ -x "$program_dir/$program" ] && [ -f "$program_dir/$program" ]; then
        pass "bin/$program leads to lib/sonorel/$program"
    else
        fail "bin/$program is not a link to the program in lib/sonorel"
    fi
done

echo "== shipped files"
for name in "${shipped[@]}"; do
    if cmp -s "$program_dir/$name" "$build_dir/bin/$name"; then
        pass "$name"
    else
        fail "$name is missing from the program folder or differs from the build's"
    fi
done

echo "== desktop entries"
for entry in "$usr"/share/applications/*.desktop; do
    name=$(basename "$entry")
    case $name in io.github.sonorel.*.desktop) ;; *) fail "$name: not a reverse-DNS name of ours" ;; esac
    echo "\$ desktop-file-validate $name"
    if desktop-file-validate "$entry"; then pass "$name validates"; else fail "$name does not validate"; fi
    exec_line=$(sed -n 's/^Exec=//p' "$entry")
    program=${exec_line%% *}
    [ -x "$usr/bin/$program" ] && pass "$name runs $program from bin/" ||
        fail "$name: Exec names $program, which bin/ lacks"
    icon=$(sed -n 's/^Icon=//p' "$entry")
    for size in 16 22 24 32 48 64 128 256; do
        png=$usr/share/icons/hicolor/${size}x${size}/apps/$icon.png
        if [ "$(file -b "$png" 2>/dev/null | cut -d, -f2)" = " $size x $size" ]; then :; else
            fail "$name: no ${size}x${size} PNG icon $icon"
        fi
    done
    [ -f "$usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "$name: no scalable icon $icon"
done
reader=$usr/share/applications/$app_id.desktop
[ -f "$reader" ] || fail "no desktop entry $app_id.desktop"
[ -f "$usr/share/applications/io.github.sonorel.Vocelle.desktop" ] || fail "no desktop entry for Vocelle"
grep -qx 'Exec=sorel %f' "$reader" && pass "the reader takes one file path as its command line" ||
    fail "the reader's Exec is not 'sorel %f'"
for type in text/plain text/rtf; do
    grep '^MimeType=' "$reader" | tr '=;' '\n\n' | grep -qx "$type" && pass "opens $type" ||
        fail "the reader does not offer to open $type"
done
for category in Utility Accessibility AudioVideo; do
    grep '^Categories=' "$reader" | tr '=;' '\n\n' | grep -qx "$category" ||
        fail "the reader is not in the $category menu"
done

echo "== AppStream metadata"
metainfo=$usr/share/metainfo/$app_id.metainfo.xml
echo "\$ appstreamcli validate --no-net $app_id.metainfo.xml"
if appstreamcli validate --no-net "$metainfo"; then pass "metainfo validates"; else fail "metainfo does not validate"; fi
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
[ -f "$usr/share/applications/$launchable" ] && pass "launches $launchable" ||
    fail "the metainfo launches $launchable, which is not installed"
released=$(sed -n 's:.*<release version="\([^"]*\)".*:\1:p' "$metainfo")
[ "$released" = "$version" ] && pass "release $released is the version the reader shows" ||
    fail "the metainfo's release is '$released', the reader shows 'Version $version'"
shots=$(sed -n 's:.*<image>\(.*\)</image>.*:\1:p' "$metainfo")
[ -n "$shots" ] || fail "the metainfo has no screenshot"
for url in $shots; do
    path=${url#*/main/}
    if [ "$(file -b "$source_dir/$path" 2>/dev/null | cut -d, -f1)" = "PNG image data" ]; then
        pass "screenshot $path is in the repository"
    else
        fail "screenshot $url names no PNG in the repository"
    fi
done

echo "== manual pages"
for page in sorel Vocelle sonorel-say; do
    file=$usr/share/man/man1/$page.1.gz
    if [ ! -f "$file" ]; then
        fail "no manual page $page(1)"
        continue
    fi
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
    [ -z "$warnings" ] && pass "$page(1) formats cleanly" || fail "$page(1): $warnings"
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$file" 2>/dev/null | grep -q "Sonorel $version" ||
        fail "$page(1) does not name version $version"
done

echo "== the installed reader, run by $run_user under Xvfb"
home=$work/home
make_home "$home"
# The install belongs to root, as under /usr; a user who owns it could write
# there, so for an unprivileged run it is made read-only.
[ "$(id -u)" -eq 0 ] || chmod -R a-w "$dest"
snapshot() { (cd "$dest" && find . -printf '%p %y %s %m %T@\n' | sort); }
snapshot >"$work/before"
start_display
# Every file the reader opens, and whether it was there.
user_prefix "$home" "$usr/bin:/usr/bin:/bin"
mkdir "$work/trace"
chmod 777 "$work/trace"
start_group "${as_user[@]}" strace -ff -qq -e trace=%file -o "$work/trace/files" sorel \
    >"$work/reader.log" 2>&1
if wait_until 120 has_window_titled "Mary (TTS4.0)"; then
    pass "the window shows \"Mary (TTS4.0)\""
else
    fail "no window titled \"Mary (TTS4.0)\""
fi
settings=$home/.config/sonorel/stts.ini
# The reader writes its settings every 15 seconds.
if wait_until 120 test -s "$settings"; then
    pass "stts.ini written to ~/.config/sonorel"
else
    fail "no stts.ini under ~/.config/sonorel"
fi
end_group "$group"
group=
stop_display
snapshot >"$work/after"
if diff "$work/before" "$work/after"; then
    pass "nothing in the install changed"
else
    fail "the reader wrote into the install"
fi
cat "$work"/trace/files.* >"$work/files.trace"
trace=$work/files.trace
for name in speak.bmp sonorel.png; do
    if grep -E "^openat\(AT_FDCWD, \"$program_dir/$name\", O_RDONLY[^)]*\) = [0-9]+$" "$trace" >/dev/null; then
        pass "read $name from the install"
    else
        fail "did not read $name from the program folder $program_dir"
    fi
done
# A file the reader opens or looks for beside itself must be installed. Left out:
# directories, Qt's own optional qt.conf, which Qt looks for beside every program,
# and helper programs searched for along PATH.
missing=$(grep -v '^execve(' "$trace" | grep -E "^[a-z0-9_]+\(([A-Z_]+, )?\"($program_dir|$usr/bin)/[^\"]*\".*= -1 ENOENT" |
    grep -v O_DIRECTORY | sed -E 's/^[^"]*"([^"]*)".*/\1/' | grep -Ev '/qt6?\.conf$' | sort -u)
if [ -z "$missing" ]; then
    pass "found every file it looked for in the install"
else
    fail "looked for files the install lacks: $missing"
fi
if [ $failures -ne 0 ]; then
    echo "-- the reader's output:"
    cat "$work/reader.log"
fi
finish
