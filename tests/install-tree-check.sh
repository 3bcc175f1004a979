#!/usr/bin/env bash
# Installs the build given as $1 into a scratch prefix, checks that the program, its desktop entry
# and its icons are in place, and starts the installed program on a virtual X server: it must
# still be running after 2 s. Exits 77 (skipped) when xvfb-run is not available.
set -euo pipefail

build=$1
if ! command -v xvfb-run >/dev/null; then
    echo "xvfb-run is not installed"
    exit 77
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/ZEPHInstaller_macOS \
            share/applications/zeph-installer.desktop \
            share/icons/hicolor/scalable/apps/zeph-installer.svg \
            share/icons/hicolor/256x256/apps/zeph-installer.png; do
    [ -s "$prefix/$file" ] || { echo "missing from the install tree: $file"; exit 1; }
done
[ -x "$prefix/bin/ZEPHInstaller_macOS" ] || { echo "the installed program is not executable"; exit 1; }
# The desktop entry finds the program on PATH and the icon by its theme name.
for entry in Exec=ZEPHInstaller_macOS Icon=zeph-installer; do
    grep -qx "$entry" "$prefix/share/applications/zeph-installer.desktop" ||
        { echo "the desktop entry lacks $entry"; exit 1; }
done

# An empty home and a Python that answers at once, as on a machine that is ready for the script.
mkdir "$scratch/home" "$scratch/bin"
printf '#!/bin/sh\necho "Python 3.12.1"\n' >"$scratch/bin/python3"
chmod +x "$scratch/bin/python3"

# The program runs as a child of the shell inside xvfb-run, so that it is gone before xvfb-run
# stops the X server; timeout bounds the whole run should the server never come up.
env -u QT_QPA_PLATFORM HOME="$scratch/home" PATH="$scratch/bin:$prefix/bin:/usr/bin:/bin" \
    timeout 60 xvfb-run -a bash -c '
        ZEPHInstaller_macOS &
        program=$!
        sleep 2
        if ! kill -0 "$program" 2>/dev/null; then
            status=0
            wait "$program" || status=$?
            echo "the installed program ended on its own with status $status"
            exit 1
        fi
        kill "$program"
        wait "$program" || true'
echo "install tree complete; the installed program started and kept running"
