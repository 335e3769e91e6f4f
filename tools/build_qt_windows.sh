#!/usr/bin/env bash
# Builds Qt 6 for 64-bit Windows (Core, Gui, Widgets, Test as DLLs; the platform plugin
# "windows") with Debian's mingw-w64, from Debian's own qt6-base source package: the same Qt
# version as the host's qt6-base-dev, whose moc, rcc and uic serve as the host tools.
#
#   tools/build_qt_windows.sh [OUT.tar.xz]
#
# OUT defaults to the cache where ./run looks for it. Takes about 30 min on 2 idle cores. The
# source list lives in a temporary folder; the system's apt configuration is not touched.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/pelion-update
out=$(realpath -m "${1:-$cache/qt6-mingw-w64.tar.xz}")
mkdir -p "$(dirname "$out")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# The system's own Debian sources, turned into source entries in a folder of our own.
mkdir -p parts lists/partial
for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] || continue
    sed 's/^Types: deb$/Types: deb-src/' "$f" >"parts/$(basename "$f")"
done
if [ -e /etc/apt/sources.list ]; then
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >parts/sources.list
fi
apt_options=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$work/parts"
    -o Dir::State::Lists="$work/lists")
apt-get "${apt_options[@]}" update -qq
apt-get "${apt_options[@]}" source --download-only -qq qt6-base
tar xf qt6-base_*.orig.tar.xz
sources=(qtbase-everywhere-src-*)
prefix=$work/qt6-mingw-w64

# Debian's source leaves out the tablet header (wintab), hence no tablet events; without OpenGL
# the platform plugin of Qt 6.4 builds only with dynamic GL off.
cmake -S "${sources[0]}" -B build -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_QMAKE_TARGET_MKSPEC=win32-g++ \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF \
    -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF -DFEATURE_jpeg=OFF \
    -DFEATURE_zstd=OFF -DFEATURE_vulkan=OFF -DFEATURE_tabletevent=OFF -DFEATURE_dynamicgl=OFF \
    -DFEATURE_testlib=ON -DFEATURE_gui=ON -DFEATURE_widgets=ON >configure.log
cmake --build build -j "$(nproc)" >build.log
cmake --install build >install.log
x86_64-w64-mingw32-strip --strip-unneeded "$prefix"/bin/*.dll "$prefix"/plugins/*/*.dll
tar -C "$work" -cJf "$out" qt6-mingw-w64
echo "$out: $(du -h "$out" | cut -f1)"
