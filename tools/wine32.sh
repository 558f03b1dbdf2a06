#!/usr/bin/env bash
# 32-bit Wine for the i686 build's tests, run under user-mode emulation: this kernel runs
# no 32-bit code itself. The i386 packages of the host's Wine version are downloaded (never
# installed) with a private apt configuration and unpacked into a sysroot; the sysroot's
# loader is replaced by a script that runs the real one under qemu-i386, so that the
# processes Wine starts itself (wineboot, services, rundll32) are emulated too.
# The emulator is qemu-i386 from bookworm-backports' qemu-user (statically linked), also
# unpacked, not installed: bookworm's qemu 7.2 ignores MAP_FIXED_NOREPLACE and searches its
# page table page by page for every such mapping, and Wine reserves its address space in
# some 65,000 of them, which cost about 50 s of CPU at every process start (0.1 s with it).
#   wine32.sh SYSROOT    prepares SYSROOT once; prints the path of its wine loader
set -euo pipefail
sysroot=$(realpath -m "${1:?usage: wine32.sh SYSROOT}")
loader="$sysroot/usr/lib/wine/wine"
if [ -f "$sysroot/.vantrel-ready" ] && [ -f "$sysroot/usr/lib/vantrel-trapno.so" ]; then echo "$loader"; exit 0; fi

version=$(dpkg-query -W -f='${Version}' libwine)
work="$sysroot.apt"
rm -rf "$sysroot" "$work"
mkdir -p "$work"/{state/lists/partial,cache/archives/partial,etc} "$sysroot"
touch "$work/state/status"
# The release itself carries the Wine version the host has; nothing else is needed.
cat > "$work/etc/sources.list" <<LIST
deb [arch=i386] http://deb.debian.org/debian bookworm main
deb [arch=amd64] http://deb.debian.org/debian bookworm-backports main
LIST
apt=(-o Dir::State="$work/state" -o Dir::State::status="$work/state/status" -o Dir::Cache="$work/cache"
     -o Dir::Etc::SourceList="$work/etc/sources.list" -o Dir::Etc::SourceParts=/dev/null
     -o APT::Architecture=i386 -o APT::Architectures::=i386 -o APT::Architectures::=amd64
     -o APT::Sandbox::User=root)
apt-get "${apt[@]}" update -qq >/dev/null
# Wine's unix side finds the libraries it loads at run time only in the sysroot: freetype
# and fontconfig for win32u (whose font set-up calls into fontconfig unchecked), gnutls for
# Schannel.
(cd "$work/cache/archives" &&
 apt-get "${apt[@]}" download -qq libc6:i386 libgcc-s1:i386 "libwine:i386=$version" "wine32:i386=$version" \
   libfreetype6:i386 libpng16-16:i386 zlib1g:i386 libbrotli1:i386 libfontconfig1:i386 libexpat1:i386 \
   libgnutls30:i386 libgmp10:i386 libhogweed6:i386 libnettle8:i386 libidn2-0:i386 libp11-kit0:i386 \
   libtasn1-6:i386 libunistring2:i386 libffi8:i386 \
   qemu-user:amd64/bookworm-backports >/dev/null)
for deb in "$work"/cache/archives/*_i386.deb; do dpkg-deb -x "$deb" "$sysroot"; done
dpkg-deb -x "$work"/cache/archives/qemu-user_*_amd64.deb "$work/qemu"
install -m 755 "$work/qemu/usr/bin/qemu-i386" "$sysroot/qemu-i386"
rm -rf "$work"

# user32 needs zlib1.dll, which Debian's i386 libwine leaves out. Wine loads nothing from its
# own folder that is not marked as one of its builtin DLLs (as Debian marks the 64-bit copy):
# the mark is this text right after the DOS header, inside the DOS stub (the PE header is at 0x80).
zlib="$sysroot/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll"
cp /usr/i686-w64-mingw32/lib/zlib1.dll "$zlib"
[ "$(od -An -tu4 -j60 -N4 "$zlib" | tr -d ' ')" -ge 81 ] || { echo "wine32.sh: no room for the builtin mark in $zlib" >&2; exit 1; }
printf 'Wine builtin DLL\0' | dd of="$zlib" bs=1 seek=64 conv=notrunc status=none
# The guest's own library cache, so that its loader never picks the host's 32-bit libraries.
echo 'include /etc/ld.so.conf.d/*.conf' > "$sysroot/etc/ld.so.conf"
/sbin/ldconfig -r "$sysroot"
# Every emulated process preloads the fault-number fix (see wine32_trapno.c).
i686-linux-gnu-gcc -shared -fPIC -O2 -Wall -Werror -o "$sysroot/usr/lib/vantrel-trapno.so" \
  "$(dirname "$0")/wine32_trapno.c" -ldl
echo /usr/lib/vantrel-trapno.so > "$sysroot/etc/ld.so.preload"
mv "$loader" "$loader.real"
cat > "$loader" <<SH
#!/bin/sh
exec "$sysroot/qemu-i386" -L "$sysroot" -0 "$loader" "$loader.real" "\$@"
SH
chmod +x "$loader"
touch "$sysroot/.vantrel-ready"
echo "$loader"
