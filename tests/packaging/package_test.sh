#!/bin/sh
# The Debian package of a finished build: cpack makes it from what the build
# installs (nothing is compiled again), its file list holds every program of
# the build with its man page, the desktop entry with the desktop program,
# the systemd unit (not enabled), the service user and the documentation;
# its dependencies come from the shared libraries; lintian finds no error.
#
# usage: package_test.sh BUILD_DIR PROGRAM...
# Exit 77 (skipped) when the packaging tools are missing.
set -eu

build="$1"
shift

for tool in cpack dpkg-deb dpkg-shlibdeps lintian; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIPPED: $tool is not installed (tools/install-deps.sh installs it)"
        exit 77
    fi
done

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}

(cd "$build" && cpack -G DEB -B "$out") >"$out/cpack.log" 2>&1 || {
    cat "$out/cpack.log"
    echo "FAIL: cpack"
    exit 1
}
deb=$(ls "$out"/*.deb)
dpkg-deb -c "$deb" | awk '{ print $1, $6 }' | sed 's| \./| /|' >"$out/list"
cut -d' ' -f2 "$out/list" >"$out/files"

expect() {
    grep -qx "$1" "$out/files" || fail "missing $1"
}
for program in "$@"; do
    expect "/usr/bin/$program"
    expect "/usr/share/man/man1/$program.1.gz"
    grep -qx -- "-rwxr-xr-x /usr/bin/$program" "$out/list" || fail "/usr/bin/$program is not 0755"
    if [ "$program" = tolvana ]; then
        expect /usr/share/applications/tolvana.desktop
        expect /usr/share/icons/hicolor/scalable/apps/tolvana.svg
    fi
done
expect /usr/lib/systemd/system/tolvana.service
expect /usr/lib/sysusers.d/tolvana.conf
expect /usr/lib/tolvana/tolvana-service
expect /usr/share/doc/tolvana/copyright
expect /usr/share/doc/tolvana/changelog.gz
# Everything below /usr; the unit is not enabled by the package.
if grep -v '^/usr/' "$out/files" | grep -v '^/$' | grep -q .; then
    fail "files outside /usr: $(grep -v '^/usr/' "$out/files" | tr '\n' ' ')"
fi
grep -q '\.wants/' "$out/files" && fail "the package enables the service"

depends=$(dpkg-deb -f "$deb" Depends)
for library in libmosquitto1 libqt6core6 libsndfile1; do
    case "$depends" in
    *"$library"*) ;;
    *) fail "Depends lacks $library: $depends" ;;
    esac
done

lintian --tag-display-limit 0 "$deb" >"$out/lintian" 2>&1 || true
if grep -q '^E: ' "$out/lintian"; then
    fail "lintian errors"
fi
cat "$out/lintian"

if [ "$failed" -ne 0 ]; then
    echo "--- package contents"
    cat "$out/list"
    exit 1
fi
echo "package ok: $(basename "$deb"), $(wc -l <"$out/files") entries"
