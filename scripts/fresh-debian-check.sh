#!/usr/bin/env bash
# Checks Sonivel the way a new user meets it, on a Debian 12 system made from
# nothing with debootstrap (needs root and Debian's archive; a few minutes):
#   1. the .deb built here installs with apt, and the program starts from its
#      desktop entry as a menu starts it (gio launch), as an ordinary user,
#      and says "Couldn't open sound device" when the system has none;
#   2. from a clone of this repository, the README's run command, with no
#      display, builds everything and converts the demo to a wave file.
#   bash scripts/fresh-debian-check.sh [ROOT]   (default /var/tmp/sonivel-debian12)
# Screenshots land in ROOT/tmp/menu.png and ROOT/tmp/no-sound.png.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
root=${1:-/var/tmp/sonivel-debian12}

if [ ! -x "$root/usr/bin/apt-get" ]; then
  command -v debootstrap >/dev/null || apt-get install -y -qq debootstrap
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian
fi
mountpoint -q "$root/proc" || mount -t proc proc "$root/proc"
mountpoint -q "$root/dev" || mount --bind /dev "$root/dev"
cp /etc/resolv.conf "$root/etc/resolv.conf"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 bash -c "$1"; }
as_person() { chroot "$root" su - person -c "LANG=C.UTF-8 $1"; }

echo "== 1. the package"
[ -f build/release/CMakeCache.txt ] || cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
(cd build/release && cpack -G DEB >/dev/null)
cp build/release/sonivel_*_amd64.deb "$root/tmp/"
in_root 'export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq && apt-get install -y -qq /tmp/sonivel_*_amd64.deb >/tmp/install.log
  echo "installed: $(grep -c "^Setting up" /tmp/install.log) packages"
  # What the check itself needs: a virtual display, the launcher menus use, a camera.
  apt-get install -y -qq --no-install-recommends xvfb xauth libglib2.0-bin x11-utils imagemagick >/dev/null
  id person >/dev/null 2>&1 || useradd -m person'
cat >"$root/home/person/menu.sh" <<'EOF'
export XDG_RUNTIME_DIR=/tmp/rt-$USER; mkdir -p -m 700 "$XDG_RUNTIME_DIR"
gio launch /usr/share/applications/sonivel.desktop &
sleep 6
xwininfo -root -tree | grep -q '"Sonivel": ("sonivel"' || { echo "FAIL: no Sonivel window"; exit 1; }
import -window root -crop 520x110+0+0 /tmp/menu.png
pkill -TERM -x sonivel; sleep 1
sonivel /usr/share/sonivel/demo.wav &
sleep 6
xwininfo -root -tree | grep -q '"Error' || { echo "FAIL: no message about the sound device"; exit 1; }
import -window root -crop 520x110+0+0 /tmp/no-sound.png
pkill -TERM -x sonivel
echo "started from its desktop entry; without a sound device it says so"
EOF
as_person "xvfb-run -a -s '-screen 0 800x500x24' bash /home/person/menu.sh"

echo "== 2. the README's run command on a fresh clone, no display"
in_root 'DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends git ca-certificates >/dev/null'
rm -rf "$root/root/sonivel"
git clone -q "$repo" "$root/root/sonivel"
in_root 'cd /root && rm -f demo-sonivel.wav && time bash sonivel/scripts/run.sh </dev/null >/root/run.log 2>&1; tail -3 /root/run.log
  head -c 44 /root/demo-sonivel.wav | od -A d -t x1 | head -3'
echo "fresh Debian 12 check passed"
