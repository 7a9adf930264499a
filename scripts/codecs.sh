#!/usr/bin/env bash
# Builds the codec libraries (libogg, opus, libvorbis, opusfile, libopusenc)
# and the loudness meter mtrk-render links (libebur128) from Debian's own
# source packages, of the versions the installed -dev packages have, as
# static libraries under build/codecs/TARGET/prefix; for Windows also
# PortAudio (portaudio19), mtrk-render's sound output, which natively comes
# from the system.
#
#   scripts/codecs.sh [TARGET]     TARGET: native (default),
#                                  i686-w64-mingw32, x86_64-w64-mingw32
#
# Why our own builds: Debian configures opus with --enable-custom-modes,
# which makes every multistream packet probe the CPU features again (a
# CPUID per stream, microseconds each in a virtual machine). Ours leave
# custom modes out, keep run-time CPU detection, and use -O3. Everything is
# static and position-independent, so every call into libopus binds to this
# build and the plug-in exports none of it. scripts/codec-patches/ holds
# our fixes of leaks that fuzzing found on the libraries' error paths.
#
# The result is cached: nothing is rebuilt while the recipe (versions,
# flags, this script) stays the same. Prints the prefix on its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
target=${1:-native}

case "$target" in
  native) host_args=(); extra_cflags="-fPIC" ;;
  i686-w64-mingw32|x86_64-w64-mingw32)
    host_args=(--host="$target")
    # MinGW's headers do not provide the fortified string functions.
    extra_cflags="-D_FORTIFY_SOURCE=0"
    # 32-bit x86 computes with SSE2 as the rest of that build does: x87's
    # excess precision would decode other samples than every other build.
    if [ "$target" = i686-w64-mingw32 ]; then
      extra_cflags+=" -msse2 -mfpmath=sse"
    fi
    if command -v "$target-gcc-posix" >/dev/null; then
      export CC="$target-gcc-posix"
    fi ;;
  *) echo "codecs: unknown target '$target' (native, i686-w64-mingw32, x86_64-w64-mingw32)" >&2
     exit 2 ;;
esac

# Source package, the -dev package whose version it must match, its
# optimisation level, and the configure options beyond static-only and PIC.
# libvorbis stays at -O2, as Debian builds it: its configure adds
# -ffast-math, and at -O3 the inverse MDCT then rounds differently, so the
# samples would no longer be the ones the system's library decodes.
packages=(
  "libogg     libogg-dev      -O3"
  "opus       libopus-dev     -O3 --disable-doc --disable-extra-programs"
  "libvorbis  libvorbis-dev   -O2 --disable-docs --disable-examples"
  "opusfile   libopusfile-dev -O3 --disable-http --disable-doc --disable-examples"
  "libopusenc libopusenc-dev  -O3 --disable-doc --disable-examples"
)
# PortAudio with the Windows multimedia API (WMME) only: its WASAPI part
# does not compile against MinGW-w64's headers.
if [ "$target" != native ]; then
  packages+=("portaudio19 portaudio19-dev -O2 --with-winapi=wmme")
fi

version_of() {
  dpkg-query -W -f='${Version}' "$1" 2>/dev/null ||
    { echo "codecs: $1 is not installed (scripts/setup.sh installs it)" >&2; exit 1; }
}

# libebur128 is a CMake project, built apart from the autotools ones above
# at Debian's level.
ebur128_level=-O2

# The source package's version of an installed -dev package: no epoch, and
# no suffix of a binary-only rebuild (libebur128-dev 1.2.6-1+b1 comes from
# the source 1.2.6-1).
source_version_of() {
  local version
  version=$(version_of "$1")
  version=${version#*:}
  echo "${version%+b[0-9]*}"
}

recipe="target=$target cflags=$extra_cflags script=$(sha256sum "$0" | cut -c1-16)"
recipe+=" patches=$(cat "$root"/scripts/codec-patches/*.patch | sha256sum | cut -c1-16)"
for entry in "${packages[@]}"; do
  read -r source dev level _ <<<"$entry"
  recipe+=" $source=$(version_of "$dev")($level)"
done
recipe+=" libebur128=$(version_of libebur128-dev)($ebur128_level)"

work="$root/build/codecs/$target"
prefix="$work/prefix"
if [ -f "$prefix/recipe" ] && [ "$(cat "$prefix/recipe")" = "$recipe" ]; then
  echo "$prefix"
  exit 0
fi

has_deb_src() {
  grep -qs '^Types:.*deb-src' /etc/apt/sources.list.d/*.sources ||
    grep -qs '^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/*.list
}

# apt-get source needs deb-src entries; Debian's images ship binary ones only.
ensure_deb_src() {
  has_deb_src && return
  echo "codecs: adding deb-src entries to apt's sources" >&2
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -i 's/^Types: deb$/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources
  else
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >/etc/apt/sources.list.d/vy-deb-src.list
  fi
  apt-get update -qq
}

fetch_sources() {
  local downloads="$root/build/codecs/downloads" missing=()
  mkdir -p "$downloads"
  for entry in "${packages[@]}"; do
    read -r source dev _ <<<"$entry"
    local version
    version=$(version_of "$dev")
    ls "$downloads/${source}_${version#*:}.dsc" >/dev/null 2>&1 || missing+=("$source=$version")
  done
  ((${#missing[@]})) || return 0
  ensure_deb_src
  (cd "$downloads" && apt-get source -qq -o APT::Sandbox::User=root --download-only "${missing[@]}")
}

# libebur128 builds from its source package's upstream tarball alone, as
# its own CMake project ships it: the Debian part (packaging, and patches
# if any) is left out, since Debian's mirror may lack it, which fails the
# download as a whole. The tarball is checked against the sum in the .dsc,
# which apt has checked against the signed index.
ebur128_tarball() {
  local version
  version=$(source_version_of libebur128-dev)
  echo "$root/build/codecs/downloads/libebur128_${version%-*}.orig.tar.gz"
}

fetch_ebur128() {
  local downloads="$root/build/codecs/downloads" version tarball dsc sum log=
  version=$(source_version_of libebur128-dev)
  tarball=$(ebur128_tarball)
  dsc="$downloads/libebur128_$version.dsc"
  if [ ! -f "$tarball" ] || [ ! -f "$dsc" ]; then
    ensure_deb_src
    # Judged by the files it leaves, not by its exit code.
    log=$(cd "$downloads" && apt-get source -qq -o APT::Sandbox::User=root --download-only "libebur128=$version" 2>&1) ||
      true
  fi
  [ -f "$dsc" ] && [ -f "$tarball" ] ||
    { echo "$log" >&2; echo "codecs: cannot download the source package libebur128 $version" >&2; exit 1; }
  sum=$(awk -v name="$(basename "$tarball")" \
    '/^Checksums-Sha256:/ { inside = 1; next } /^[^ ]/ { inside = 0 } inside && $3 == name { print $1 }' "$dsc")
  echo "$sum  $tarball" | sha256sum --check --quiet ||
    { echo "codecs: $tarball does not match $dsc" >&2; rm -f "$tarball"; exit 1; }
}

build_ebur128() {
  local tree="$work/src/libebur128" toolchain=()
  rm -rf "$tree"
  mkdir -p "$tree"
  tar -xzf "$(ebur128_tarball)" -C "$tree" --strip-components=1
  # Windows: the project's own MinGW toolchain files (compilers and search
  # paths of the target).
  [ "$target" = native ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-${target%%-*}.cmake")
  echo "codecs: building libebur128 $(version_of libebur128-dev) for $target" >&2
  if ! (
    cmake -S "$tree" -B "$tree/build" "${toolchain[@]}" -DCMAKE_BUILD_TYPE=None \
      -DCMAKE_C_FLAGS="$ebur128_level -g $extra_cflags" -DBUILD_SHARED_LIBS=OFF -DWITH_STATIC_PIC=ON \
      -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib -DCMAKE_POLICY_VERSION_MINIMUM=3.5
    cmake --build "$tree/build" -j "$(nproc)"
    cmake --install "$tree/build"
  ) >"$work/libebur128.log" 2>&1; then
    tail -n 30 "$work/libebur128.log" >&2
    echo "codecs: building libebur128 failed; the whole log is $work/libebur128.log" >&2
    exit 1
  fi
}

# dpkg-source applies Debian's patches after unpacking, which can leave an
# autotools input newer than what was generated from it; make would then
# want automake. Nothing of the patches concerns the build system's output,
# so the generated files are marked as current.
settle_timestamps() {
  find . \( -name '*.am' -o -name '*.ac' -o -name '*.m4' \) -exec touch -d '2000-01-01' {} +
  find . \( -name 'aclocal.m4' -o -name configure -o -name 'Makefile.in' -o -name 'config.h.in' \) \
    -exec touch {} +
}

build_one() {
  local source=$1 dev=$2 level=$3; shift 3
  local version tree
  version=$(version_of "$dev")
  tree="$work/src/$source"
  rm -rf "$tree"
  mkdir -p "$work/src"
  # apt has checked the files against the signed index; dpkg-source still
  # checks their sums (and says it has no key for the uploader's signature).
  local log
  if ! log=$(dpkg-source -x "$root/build/codecs/downloads/${source}_${version#*:}.dsc" "$tree" 2>&1); then
    echo "$log" >&2
    exit 1
  fi
  # Our own fixes on top of Debian's (scripts/codec-patches/SOURCE.patch):
  # leaks on error paths only; nothing that decodes changes.
  local fixes="$root/scripts/codec-patches/$source.patch"
  if [ -f "$fixes" ] && ! log=$(patch -p1 -d "$tree" <"$fixes" 2>&1); then
    echo "$log" >&2
    exit 1
  fi
  echo "codecs: building $source $version for $target" >&2
  if ! (
    cd "$tree"
    settle_timestamps
    PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH="" \
      ./configure --prefix="$prefix" --libdir="$prefix/lib" "${host_args[@]}" \
        --enable-static --disable-shared --with-pic "$@" CFLAGS="$level -g $extra_cflags"
    make -j "$(nproc)"
    make install
  ) >"$work/$source.log" 2>&1; then
    tail -n 30 "$work/$source.log" >&2
    echo "codecs: building $source failed; the whole log is $work/$source.log" >&2
    exit 1
  fi
}

fetch_sources
fetch_ebur128
rm -rf "$prefix"
mkdir -p "$prefix/lib/pkgconfig"
for entry in "${packages[@]}"; do
  read -r source dev level options <<<"$entry"
  # shellcheck disable=SC2086 # the options are words
  build_one "$source" "$dev" "$level" $options
done
build_ebur128
rm -rf "$work/src"
find "$prefix/lib" -name '*.la' -delete
echo "$recipe" >"$prefix/recipe"
echo "$prefix"
