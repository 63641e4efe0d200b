#!/bin/sh
# Installs a tolvana package built here and, on a desktop, offers to start
# the program (postrun asks the user).
# usage: packaging/install.sh [PACKAGE.deb]
set -eu

deb="${1:-$(find build/release -maxdepth 1 -name 'tolvana_*.deb' 2>/dev/null | sort | tail -n 1)}"
if [ -z "$deb" ] || [ ! -f "$deb" ]; then
    echo "usage: $0 PACKAGE.deb (cmake --build --preset release --target package builds one)" >&2
    exit 2
fi
case "$deb" in
/*) ;;
*) deb="./$deb" ;;
esac

if [ "$(id -u)" -eq 0 ]; then
    apt-get install -y "$deb"
else
    sudo apt-get install -y "$deb"
fi

# The question goes to the desktop user, never to root.
if [ "$(id -u)" -ne 0 ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; } &&
    command -v postrun >/dev/null 2>&1; then
    postrun "/usr/bin/tolvana#;##;#tolvana"
fi
