#!/usr/bin/env bash
# Runs a link command (the arguments) with every absolute path outside /usr made relative to the
# build folder, where the build runs. The Windows linker orders the import tables of a program
# by the paths of its import libraries: Qt's, unpacked beside the build folder, would sort before
# or after mingw's own in /usr by wherever the build lies, and the program would differ from one
# build path to the next. Relative, they sort the same from any path.
args=()
for arg in "$@"; do
    case $arg in
        /usr/*) ;;
        /*) arg=$(realpath --no-symlinks --canonicalize-missing --relative-to="$PWD" "$arg") ;;
    esac
    args+=("$arg")
done
exec "${args[@]}"
