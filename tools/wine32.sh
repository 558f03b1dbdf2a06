#!/usr/bin/env bash
# 32-bit Wine for the i686 build's tests, run under user-mode emulation: this kernel runs
# no 32-bit code itself. The i386 packages of the host's Wine version are downloaded (never
# installed) with a private apt configuration and unpacked into a sysroot; the sysroot's
# loader is replaced by a script that runs the real one under qemu-i386, so that the
# processes Wine starts itself (wineboot, services, rundll32) are emulated too.
#   wine32.sh SYSROOT    prepares SYSROOT once; prints the path of its wine loader
set -euo pipefail
sysroot=$(realpath -m "${1:?usage: wine32.sh SYSROOT}")
loader="$sysroot/usr/lib/wine/wine"
if [ -f "$sysroot/.vantrel-ready" ]; then echo "$loader"; exit 0; fi

version=$(dpkg-query -W -f='${Version}' libwine)
work="$sysroot.apt"
rm -rf "$sysroot" "$work"
mkdir -p "$work"/{state/lists/partial,cache/archives/partial,etc} "$sysroot"
touch "$work/state/status"
# The release itself carries the Wine version the host has; nothing else is needed.
echo "deb [arch=i386] http://deb.debian.org/debian bookworm main" > "$work/etc/sources.list"
apt=(-o Dir::State="$work/state" -o Dir::State::status="$work/state/status" -o Dir::Cache="$work/cache"
     -o Dir::Etc::SourceList="$work/etc/sources.list" -o Dir::Etc::SourceParts=/dev/null
     -o APT::Architecture=i386 -o APT::Architectures=i386 -o APT::Sandbox::User=root)
apt-get "${apt[@]}" update -qq >/dev/null
(cd "$work/cache/archives" &&
 apt-get "${apt[@]}" download -qq libc6:i386 libgcc-s1:i386 "libwine:i386=$version" "wine32:i386=$version" >/dev/null)
for deb in "$work"/cache/archives/*.deb; do dpkg-deb -x "$deb" "$sysroot"; done
rm -rf "$work"

# user32 needs zlib1.dll, which Debian's i386 libwine leaves out.
cp /usr/i686-w64-mingw32/lib/zlib1.dll "$sysroot/usr/lib/i386-linux-gnu/wine/i386-windows/"
mv "$loader" "$loader.real"
cat > "$loader" <<SH
#!/bin/sh
exec /usr/bin/qemu-i386 -L "$sysroot" -0 "$loader" "$loader.real" "\$@"
SH
chmod +x "$loader"
touch "$sysroot/.vantrel-ready"
echo "$loader"
