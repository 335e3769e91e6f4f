#!/usr/bin/env bash
# The Windows packages of the programs cross-built in WIN32_BUILD, into OUT_DIR:
#   pelion-update-VERSION-windows-x64.zip  a folder of that name to unpack anywhere
#   pelion-update-VERSION-windows-x64.msi  the installer (pelion-update.wxs)
# Both hold the same files: pelion-update.exe, and when the build has the window program
# pelion-update-gui.exe with the Qt DLLs, Qt plugins and mingw runtime DLLs the build put beside
# it (cmake/windows_runtime.cmake), all stripped; README.md; the licence texts in licences/.
#   packaging/windows/make_packages.sh WIN32_BUILD OUT_DIR [VERSION]
# VERSION is the project's version (CMakeLists.txt) unless given.
set -euo pipefail
WIN32_BUILD=$(cd "${1:?usage: make_packages.sh WIN32_BUILD OUT_DIR [VERSION]}" && pwd)
mkdir -p "${2:?usage: make_packages.sh WIN32_BUILD OUT_DIR [VERSION]}"
OUT=$(cd "$2" && pwd)
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)

cached() { sed -n "s/^$1:[A-Z]*=//p" "$WIN32_BUILD/CMakeCache.txt"; }
VERSION=${3:-$(cached CMAKE_PROJECT_VERSION)}
GUI=0
[ "$(cached PELION_GUI)" = ON ] && GUI=1

# licence file in the package, its text; the Qt ones only with the window program. The command
# line program links mingw's C++ runtime and thread library in, the window program loads them.
LICENCES=(
    "pelion-update.txt:$ROOT/packaging/copyright"
    "gcc-runtime.txt:/usr/share/doc/gcc-mingw-w64-x86-64-posix-runtime/copyright"
    "winpthreads.txt:/usr/share/doc/mingw-w64-x86-64-dev/copyright"
    "GPL-3.txt:/usr/share/common-licenses/GPL-3"
)
QT_LICENCES=(
    "qt.txt:/usr/share/doc/libqt6core6/copyright"
    "LGPL-3.txt:/usr/share/common-licenses/LGPL-3"
)

# The project's versions are dates, YEAR.MONTH.DAY. An MSI product version has at most
# 255.255.65535 and Windows compares only these three fields, so the year counts from 2000:
# 2022.10.13 becomes 22.10.13, and a later date stays a higher version up to 2255.
msi_version() {
    local year month day
    if [[ ! $1 =~ ^([0-9]{4})\.([0-9]{1,2})\.([0-9]{1,2})$ ]]; then
        echo "make_packages.sh: version $1 is not YEAR.MONTH.DAY; no MSI version for it" >&2
        return 1
    fi
    year=$((10#${BASH_REMATCH[1]} - 2000))
    month=$((10#${BASH_REMATCH[2]}))
    day=$((10#${BASH_REMATCH[3]}))
    if [ "$year" -lt 0 ] || [ "$year" -gt 255 ]; then
        echo "make_packages.sh: year of version $1 outside 2000 to 2255; no MSI version for it" >&2
        return 1
    fi
    echo "$year.$month.$day"
}

# copy_binary FILE: stripped, into the same place in the package folder.
copy_binary() {
    mkdir -p "$(dirname "$STAGE/$1")"
    x86_64-w64-mingw32-strip -o "$STAGE/$1" "$WIN32_BUILD/$1"
}

copy_licences() {
    local entry
    for entry in "$@"; do
        cp "${entry#*:}" "$STAGE/licences/${entry%%:*}"
    done
}

stage() {
    mkdir -p "$STAGE/licences"
    copy_binary pelion-update.exe
    copy_licences "${LICENCES[@]}"
    if [ "$GUI" = 1 ]; then
        copy_binary pelion-update-gui.exe
        local dll
        while read -r dll; do
            copy_binary "$dll"
        done < <(cd "$WIN32_BUILD" && find . -path ./CMakeFiles -prune -o -name '*.dll' -print)
        copy_licences "${QT_LICENCES[@]}"
    fi
    cp "$ROOT/README.md" "$STAGE/"
}

make_zip() {
    rm -f "$OUT/$NAME.zip"
    (cd "$WORK" && zip -q -r -X -9 "$OUT/$NAME.zip" "$NAME")
}

# Every file of the package folder but the programs (which pelion-update.wxs lists itself, the
# window program with its Start-menu entry) becomes a component of its own.
make_msi() {
    (cd "$STAGE" && find . -type f ! -name 'pelion-update*.exe' | sed "s|^\./|$STAGE/|") |
        wixl-heat -p "$STAGE/" --directory-ref INSTALLDIR --var var.SourceDir \
            --component-group PackageFiles --win64 >"$WORK/files.wxs"
    rm -f "$OUT/$NAME.msi"
    # wixl takes the files' sources relative to the folder it runs in.
    (cd "$STAGE" && wixl -a x64 -D Version="$MSI_VERSION" -D SourceDir=. -D Gui="$GUI" \
        -D Win64=yes -o "$OUT/$NAME.msi" "$HERE/pelion-update.wxs" "$WORK/files.wxs")
}

MSI_VERSION=$(msi_version "$VERSION")
NAME=pelion-update-$VERSION-windows-x64
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
STAGE=$WORK/$NAME
stage
make_zip
make_msi
