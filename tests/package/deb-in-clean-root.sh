#!/usr/bin/env bash
# The .deb as a user gets it: a minimal Debian 12 root made by mmdebstrap (from this machine's apt
# sources), the package installed there by apt alone (which brings its Depends, nothing else: no
# compiler, no -dev package, no X server), then inside it, chrooted:
#   vqdemo --version, vqdemo --check, and a 3-frame capture with no display at all,
# whose frames must equal byte for byte the same capture made here by the build's own program.
#
#   tests/package/deb-in-clean-root.sh BUILD_DIR
#
# Needs root (mmdebstrap's root mode; exit status 77, skipped, without it) and the network to the
# apt mirror; makes the .deb with cpack when the build folder has none newer than the program.
# Leaves nothing behind but BUILD_DIR/package-test.log.
set -euo pipefail

build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: making a Debian root with mmdebstrap needs root"
    exit 77
fi
log=$build/package-test.log
work=$(mktemp -d /tmp/vq_deb_root.XXXXXX)
trap 'rm -rf "$work"' EXIT
: >"$log"

deb=$(ls "$build"/vqdemo_*.deb 2>/dev/null | head -1 || true)
if [ -z "$deb" ] || [ "$deb" -ot "$build/vqdemo" ]; then
    (cd "$build" && cpack -G DEB >>"$log" 2>&1) || { echo "cpack failed, see $log" >&2; exit 1; }
    deb=$(ls "$build"/vqdemo_*.deb | head -1)
fi
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"

# The reference: the same capture by the program as built, without a display.
capture=(--capture /tmp/vq_cap --fps 30 --start 60 --frames 3 --seed 3)
env -u DISPLAY -u WAYLAND_DISPLAY "$build/vqdemo" --data "$build/data" \
    --capture "$work/reference" --fps 30 --start 60 --frames 3 --seed 3 >>"$log" 2>&1 ||
    { echo "the reference capture failed, see $log" >&2; exit 1; }

cp "$deb" "$work/vqdemo.deb"
mkdir -p "$work/out"
inside() { printf 'chroot "$1" env -u DISPLAY -u WAYLAND_DISPLAY %s' "$*"; }
start=$(date +%s)
if ! mmdebstrap --variant=apt --mode=root --quiet bookworm /dev/null \
    --customize-hook='copy-in '"$work"'/vqdemo.deb /tmp' \
    --customize-hook='chroot "$1" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends /tmp/vqdemo.deb >/dev/null' \
    --customize-hook='chroot "$1" dpkg-query -W -f="\${Package}\n" > '"$work"'/out/packages.txt' \
    --customize-hook="$(inside vqdemo --version) > $work/out/version.txt" \
    --customize-hook="$(inside vqdemo --check) > $work/out/check.txt 2>&1" \
    --customize-hook="$(inside vqdemo "${capture[@]}") > $work/out/capture.txt 2>&1" \
    --customize-hook='copy-out /tmp/vq_cap '"$work"'/out' \
    >>"$log" 2>&1; then
    echo "the clean root failed, see $log" >&2
    tail -n 20 "$log" >&2
    exit 1
fi
echo "clean root, install, check and capture: $(($(date +%s) - start)) s"

fail=0
grep -q '^vqdemo ' "$work/out/version.txt" || { echo "--version said: $(cat "$work/out/version.txt")"; fail=1; }
grep -q 'all sound' "$work/out/check.txt" || { echo "--check said:"; cat "$work/out/check.txt"; fail=1; }
for bad in gcc g++ clang cmake libsdl2-dev libglew-dev xserver-xorg-core xvfb; do
    grep -qx "$bad" "$work/out/packages.txt" && { echo "the root has $bad installed"; fail=1; }
done
for f in frame_00000.png frame_00001.png frame_00002.png audio.wav; do
    cmp -s "$work/reference/$f" "$work/out/vq_cap/$f" || { echo "$f differs from the build's own capture"; fail=1; }
done
[ $fail -eq 0 ] || { cat "$work/out/capture.txt"; exit 1; }
echo "$(wc -l <"$work/out/packages.txt") packages in the root; --check sound; the capture matches byte for byte"
