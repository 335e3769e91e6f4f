#!/usr/bin/env bash
# Checks a built package as a user would meet it: unpacked into a temporary root, its programs
# run from there (versions, the firmware list, a whole update of a simulated logger, the window
# on the offscreen platform), its desktop entry validated and lintian run on it (no errors).
#   packaging/check_package.sh PACKAGE.deb
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
DEB=${1:?usage: $0 PACKAGE.deb}

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
dpkg-deb -x "$DEB" "$WORK/root"
BIN=$WORK/root/usr/bin

fail() {
    echo "package check: $*" >&2
    exit 1
}

for program in pelion-update pelion-update-gui pelion-sim; do
    [ -x "$BIN/$program" ] || fail "$program is not in /usr/bin"
    [ -f "$WORK/root/usr/share/man/man1/$program.1.gz" ] || fail "$program has no manual page"
done

# Each program names its version and the commit it was built from.
for program in pelion-update pelion-update-gui; do
    version=$(QT_QPA_PLATFORM=offscreen "$BIN/$program" --version)
    pattern="^$program 2022\.10\.13 \(commit [0-9a-f]{40}( with local changes)?\)$"
    [[ $version =~ $pattern ]] ||
        fail "$program --version printed \"$version\""
done
[ "$("$BIN/pelion-update" --list-firmware | wc -l)" -eq 12 ] ||
    fail "pelion-update --list-firmware does not list the eleven images under a heading"

PELION_BUILD_DIR=$BIN "$ROOT/tools/demo.sh" >"$WORK/demo.out" 2>&1 ||
    { cat "$WORK/demo.out" >&2; fail "the packaged programs did not update a simulated logger"; }

QT_QPA_PLATFORM=offscreen "$BIN/pelion-update-gui" --quit-when-idle ||
    fail "the packaged window program did not start"

# The completion offers the options and the elements.
completion=$WORK/root/usr/share/bash-completion/completions/pelion-update
words=$(bash -c "source '$completion'; COMP_WORDS=(pelion-update --list); COMP_CWORD=1
    _pelion_update; echo \"\${COMPREPLY[*]}\"")
[ "$words" = "--list-ports --list-firmware" ] || fail "completion of --list gave \"$words\""

desktop-file-validate "$WORK/root/usr/share/applications/pelion-update-gui.desktop"
lintian --fail-on error --display-level ">=info" "$DEB"
echo "package check passed: $(basename "$DEB")"
