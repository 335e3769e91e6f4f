#!/usr/bin/env bash
# The Windows packages of the programs cross-built in WIN32_BUILD, into OUT_DIR:
#   pelion-update-VERSION-windows-x64.zip  a folder of that name to unpack anywhere
#   pelion-update-VERSION-windows-x64.msi  the installer (pelion-update.wxs)
# Both hold the same files: pelion-update.exe, and when the build has the window program
# pelion-update-gui.exe with the Qt DLLs, Qt plugins and mingw runtime DLLs the build put beside
# it (cmake/windows_runtime.cmake), all stripped; README.md; the licence texts in licences/.
#   packaging/windows/make_packages.sh WIN32_BUILD OUT_DIR [VERSION [COMMIT]]
# VERSION is the project's version (CMakeLists.txt) and COMMIT the commit the programs were built
# from (the build's pelion_version.h) unless given.
#
# The same programs give the same packages byte for byte, wherever and whenever they are made:
# every time inside them is SOURCE_DATE_EPOCH (from the environment, else the time of the
# source tree's last commit), files go in in a fixed order with fixed modes, and the MSI's
# product and package codes are derived from the version and the commit, never random.
set -euo pipefail
USAGE="usage: make_packages.sh WIN32_BUILD OUT_DIR [VERSION [COMMIT]]"
WIN32_BUILD=$(cd "${1:?$USAGE}" && pwd)
mkdir -p "${2:?$USAGE}"
OUT=$(cd "$2" && pwd)
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)

cached() { sed -n "s/^$1:[A-Z]*=//p" "$WIN32_BUILD/CMakeCache.txt"; }
built_commit() { sed -n 's/^#define PELION_COMMIT "\(.*\)"$/\1/p' "$WIN32_BUILD/generated/pelion_version.h"; }
VERSION=${3:-$(cached CMAKE_PROJECT_VERSION)}
COMMIT=${4:-$(built_commit)}
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null) || {
        echo "make_packages.sh: no git history to date the packages by; set SOURCE_DATE_EPOCH" >&2
        exit 1
    }
fi
# strip dates the programs' headers with it; zip stores local times, so the zone is fixed.
export SOURCE_DATE_EPOCH TZ=UTC
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
    settle "$WORK"
}

# Fixed modes and one time for every file and folder under $1, whoever copied them there when.
settle() {
    find "$1" -type d -exec chmod 755 {} +
    find "$1" -type f -exec chmod 644 {} +
    find "$1" -type f \( -name '*.exe' -o -name '*.dll' \) -exec chmod 755 {} +
    find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

# Sorted by name, without the extra fields that carry owner and times of their own.
make_zip() {
    rm -f "$OUT/$NAME.zip"
    (cd "$WORK" && find "$NAME" | LC_ALL=C sort | zip -q -X -9 -@ "$OUT/$NAME.zip")
}

# The UUID named NAME in the namespace UUID (version 5: SHA-1 of both), in capitals.
name_uuid() {
    local namespace=${1//-/} name=$2 hash variant
    hash=$({ printf "$(sed 's/../\\x&/g' <<<"$namespace")"; printf '%s' "$name"; } | sha1sum)
    variant=$(((0x${hash:16:1} & 0x3) | 0x8))
    hash=${hash:0:12}5${hash:13:3}$(printf '%x' "$variant")${hash:17:15}
    echo "${hash:0:8}-${hash:8:4}-${hash:12:4}-${hash:16:4}-${hash:20:12}" | tr a-f A-F
}

# Every file of the package folder but the programs (which pelion-update.wxs lists itself, the
# window program with its Start-menu entry) becomes a component of its own.
make_msi() {
    local product package msi=$OUT/$NAME.msi
    # wixl-heat names each folder at random: the folders are numbered in their sorted order.
    (cd "$WORK" && find "$NAME" -type f ! -name 'pelion-update*.exe' | LC_ALL=C sort |
        wixl-heat -p "$NAME/" --directory-ref INSTALLDIR --var var.SourceDir \
            --component-group PackageFiles --win64) |
        awk '/<Directory Id="dir[0-9A-F]+"/ { sub(/Id="dir[0-9A-F]+"/, "Id=\"dir" ++n "\"") } 1' \
            >"$WORK/files.wxs"
    # A build of another commit is another product, even of the same version: it replaces the
    # installed one (pelion-update.wxs) rather than being taken for it.
    product=$(name_uuid "$UPGRADE_CODE" "product $VERSION $COMMIT")
    package=$(name_uuid "$UPGRADE_CODE" "package $VERSION $COMMIT gui $GUI")
    rm -f "$msi"
    # wixl takes the files' sources relative to the folder it runs in.
    (cd "$STAGE" && wixl -a x64 -D Version="$MSI_VERSION" -D SourceDir=. -D Gui="$GUI" \
        -D Win64=yes -D ProductCode="$product" -D UpgradeCode="$UPGRADE_CODE" \
        -o "$msi" "$HERE/pelion-update.wxs" "$WORK/files.wxs")
    # wixl draws the package code at random and dates the package now.
    msibuild "$msi" -s "Pelion Firmware Update" "$MANUFACTURER" "x64;1033" "{$package}"
    "$HERE/msi_dates.pl" "$msi" "$SOURCE_DATE_EPOCH" "$MSI_START"
}

# It stays the same in every version: it is how Windows finds the installed one.
UPGRADE_CODE=68005A03-F57E-4035-A134-6C34CF624CDD
MANUFACTURER="The authors of the Pelion firmware updater"
MSI_START=$(date +%s)
MSI_VERSION=$(msi_version "$VERSION")
NAME=pelion-update-$VERSION-windows-x64
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
STAGE=$WORK/$NAME
stage
make_zip
make_msi
