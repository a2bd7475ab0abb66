#!/usr/bin/env bash
# Builds the release archive: an optimised player in a fresh build-release/,
# and dist/norde-VERSION-linux-x86_64.tar.gz holding one folder norde-VERSION/
# that plays on a stock x86-64 Linux desktop from wherever it is unpacked:
#   norde            launcher (runs bin/tarvo with the folder as working directory)
#   bin/tarvo        the player, stripped, C++ runtime linked in, run path $ORIGIN/../lib
#   lib/             the shared libraries a desktop lacks (never glibc, the GL
#                    driver, X11/Wayland client libraries or the sound libraries)
#   demosrc/norde/   the production, its spectrum cache already built
#   src/drawables/   the camera display's shader and image, loaded by relative path
#   licenses/        the copyright files of the bundled libraries
#   README.txt
# Fails when a library the player needs cannot be found, or when the player
# or a bundled library needs a glibc newer than 2.35 (Ubuntu 22.04).
#
#   bash scripts/release.sh        (prints the archive's path on its last line)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
# What Ubuntu 22.04 has: glibc 2.35, the C++ runtime of GCC 12.
readonly max_glibc="2.35"
readonly max_glibcxx="3.4.30"
readonly max_cxxabi="1.3.13"

fail() {
  echo "release.sh: $*" >&2
  exit 1
}

for tool in cmake objdump readelf strip ldd tar gzip git; do
  command -v "$tool" >/dev/null 2>&1 || fail "$tool is missing (bash scripts/install-deps.sh build installs what building needs)"
done

build="$root/build-release"

echo "release.sh: building the player in build-release/ ($(git describe --tags --always --dirty))"
rm -rf "$build"
mkdir -p "$build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARVO_RELEASE=ON -DTARVO_BUILD_TESTS=OFF \
  -DTARVO_BENCH=OFF >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; fail "cmake could not configure the build"; }
cmake --build "$build" --target tarvo tarvo-render -j"$(nproc)"

# The version is the one the player prints: git describe --tags --always
# --dirty when the build was configured (the checkout may have moved since).
reported="$("$build/tarvo" --version)"
version="${reported#tarvo }"
[ -n "$version" ] && [ "$version" != "$reported" ] && [ "$version" != "unknown" ] ||
  fail "the player does not know its version ('$reported'): is this a git checkout?"
name="norde-$version"
archive="$root/dist/$name-linux-x86_64.tar.gz"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
stage="$work/$name"
mkdir -p "$stage/bin" "$stage/lib" "$stage/licenses" "$stage/demosrc" "$stage/src/drawables"

install -m 755 "$build/tarvo" "$stage/bin/tarvo"
strip --strip-all "$stage/bin/tarvo"

# --- libraries ---------------------------------------------------------------
# What the party machine provides itself: glibc, the GL driver stack, the
# window system's client libraries, the sound libraries and the few base
# libraries every desktop has. Their own dependencies are the machine's too.
machine_provides() {
  case "$1" in
    ld-linux-x86-64.so.*|libc.so.*|libm.so.*|libmvec.so.*|libpthread.so.*|libdl.so.*|librt.so.*|libresolv.so.*|libutil.so.*) return 0 ;;
    libGL.so.*|libEGL.so.*|libGLX.so.*|libGLdispatch.so.*|libOpenGL.so.*|libgbm.so.*|libdrm.so.*) return 0 ;;
    libX*.so.*|libxcb*.so.*|libxkbcommon.so.*|libwayland-*.so.*) return 0 ;;
    libasound.so.*|libpulse*.so*|libpulsecommon-*.so) return 0 ;;
    libdbus-1.so.*|libsystemd.so.*|libudev.so.*|libz.so.*) return 0 ;;
    *) return 1 ;;
  esac
}

# Where this machine has each library the player loads (soname -> path).
declare -A found=()
while read -r line; do
  case "$line" in
    *"=> not found"*) fail "the player needs ${line%% *}, which this machine does not have (bash scripts/install-deps.sh build installs the libraries)" ;;
    *" => "*)
      soname="${line%% *}"
      path="${line#* => }"
      found[$soname]="${path%% (*}"
      ;;
  esac
done < <(ldd "$build/tarvo")

needed_by() { objdump -p "$1" | awk '$1 == "NEEDED" { print $2 }'; }

# Walks the dependencies from the player: every library the machine does not
# provide goes into lib/, and its own dependencies are walked in turn.
declare -A bundled=()
pending=("$build/tarvo")
while [ ${#pending[@]} -gt 0 ]; do
  file="${pending[0]}"
  pending=("${pending[@]:1}")
  while read -r soname; do
    [ -n "$soname" ] || continue
    case "$soname" in
      libstdc++.so.*|libgcc_s.so.*)
        # The player has the C++ runtime linked in; a bundled library that
        # needs it gets the machine's (every desktop has it, its GL driver
        # uses it), no newer than the check below allows.
        [ "$file" != "$build/tarvo" ] || fail "the player needs $soname: the C++ runtime should be linked in (TARVO_RELEASE)"
        continue
        ;;
    esac
    machine_provides "$soname" && continue
    [ -n "${bundled[$soname]:-}" ] && continue
    path="${found[$soname]:-}"
    [ -n "$path" ] && [ -e "$path" ] || fail "$(basename "$file") needs $soname, which cannot be found on this machine"
    bundled[$soname]="$path"
    pending+=("$path")
  done < <(needed_by "$file")
done

for soname in $(printf '%s\n' "${!bundled[@]}" | sort); do
  install -m 644 "$(readlink -f "${bundled[$soname]}")" "$stage/lib/$soname"
  # The licence travels with the library: the copyright file of the Debian
  # package that holds it.
  package="$(dpkg-query -S "$(readlink -f "${bundled[$soname]}")" 2>/dev/null | head -n 1 | cut -d: -f1 || true)"
  if [ -z "$package" ]; then package="$(dpkg-query -S "${bundled[$soname]}" 2>/dev/null | head -n 1 | cut -d: -f1 || true)"; fi
  if [ -n "$package" ] && [ -f "/usr/share/doc/$package/copyright" ]; then
    install -m 644 "/usr/share/doc/$package/copyright" "$stage/licenses/$package.txt"
  else
    fail "no copyright file found for $soname (${bundled[$soname]})"
  fi
done
echo "release.sh: bundled libraries: $(cd "$stage/lib" && ls | tr '\n' ' ')"

# Every library resolves inside the folder or on the machine.
if LD_LIBRARY_PATH= ldd "$stage/bin/tarvo" | grep -q "not found"; then
  ldd "$stage/bin/tarvo" >&2
  fail "bin/tarvo does not find all its libraries"
fi

# --- glibc floor -------------------------------------------------------------
floor="0"
too_new=()
for file in "$stage/bin/tarvo" "$stage"/lib/*; do
  while read -r v; do
    [ "$(printf '%s\n%s\n' "$floor" "$v" | sort -V | tail -n 1)" = "$v" ] && floor="$v"
    if [ "$(printf '%s\n%s\n' "$max_glibc" "$v" | sort -V | tail -n 1)" != "$max_glibc" ]; then
      too_new+=("${file#"$stage"/}: $(objdump -T "$file" | awk -v v="GLIBC_$v" '$0 ~ "\\(" v "\\)" { print $NF }' | sort -u | tr '\n' ' ')(GLIBC_$v)")
    fi
  done < <(objdump -T "$file" | grep -o 'GLIBC_[0-9][0-9.]*' | sed 's/GLIBC_//' | sort -uV)
done
echo "release.sh: glibc floor: GLIBC_$floor (the highest symbol version bin/tarvo and lib/ need)"
if [ ${#too_new[@]} -gt 0 ]; then
  printf '  %s\n' "${too_new[@]}" >&2
  fail "the release needs glibc $floor, above $max_glibc (Ubuntu 22.04): the symbols above are too new"
fi

# A bundled library that uses the machine's C++ runtime must not need a newer
# one than Ubuntu 22.04's.
newest() { sort -V | tail -n 1; }
above() { [ "$(printf '%s\n%s\n' "$1" "$2" | newest)" != "$2" ]; }  # above VERSION LIMIT
for file in "$stage"/lib/*; do
  glibcxx="$(objdump -T "$file" | { grep -o 'GLIBCXX_[0-9][0-9.]*' || true; } | sed 's/GLIBCXX_//' | newest)"
  cxxabi="$(objdump -T "$file" | { grep -o 'CXXABI_[0-9][0-9.]*' || true; } | sed 's/CXXABI_//' | newest)"
  if [ -n "$glibcxx" ] && above "$glibcxx" "$max_glibcxx"; then
    fail "lib/$(basename "$file") needs GLIBCXX_$glibcxx, newer than the GLIBCXX_$max_glibcxx of Ubuntu 22.04"
  fi
  if [ -n "$cxxabi" ] && above "$cxxabi" "$max_cxxabi"; then
    fail "lib/$(basename "$file") needs CXXABI_$cxxabi, newer than the CXXABI_$max_cxxabi of Ubuntu 22.04"
  fi
done

# --- the production ----------------------------------------------------------
cp -r "$root/demosrc/norde" "$stage/demosrc/norde"
find "$stage/demosrc" -name '*.cache' -delete
ls "$stage"/demosrc/norde/data/sync/_*.track >/dev/null 2>&1 || fail "demosrc/norde/data/sync holds no .track files"
install -m 644 "$root"/src/drawables/cameraHUD.* "$stage/src/drawables/"

# The spectrum cache, so that the first start analyses nothing: one frame of
# the offline renderer (no display needed) opens the music and writes it.
before="$(cd "$stage" && find . | sort)"
(cd "$stage" && "$build/tarvo-render" --output "$work/frame" --frames 0:1 --fps 30 --size 320x180) \
  >"$work/render.txt" 2>&1 || { tail -n 30 "$work/render.txt" >&2; fail "tarvo-render could not build the spectrum cache"; }
rm -f "$stage/output-render.txt"
[ -s "$stage/demosrc/norde/data/brivel-669.cache" ] || fail "tarvo-render wrote no demosrc/norde/data/brivel-669.cache"
after="$(cd "$stage" && find . | sort | grep -vx './demosrc/norde/data/brivel-669.cache')"
[ "$before" = "$after" ] || fail "building the cache left other files behind: $(comm -13 <(echo "$before") <(echo "$after") | tr '\n' ' ')"

# --- launcher and README -----------------------------------------------------
cat >"$stage/norde" <<'EOF'
#!/bin/sh
# Plays norde: the player runs with this folder as its working directory.
# Arguments go to the player (./norde --help lists them).
here=$(dirname -- "$0") || exit 1
cd -- "$here" || exit 1
# malloc in transparent huge pages, large blocks from the heap and freed
# memory kept for reuse: a software GL driver keeps hundreds of megabytes of
# render targets in the player's memory and replaces some every frame; the
# kernel faults huge pages in, and takes them back when the show ends on
# Escape, several times faster. The player restarts itself with the same
# settings when started without them.
GLIBC_TUNABLES="glibc.malloc.hugetlb=1:glibc.malloc.mmap_max=0:glibc.malloc.trim_threshold=18446744073709551615${GLIBC_TUNABLES:+:$GLIBC_TUNABLES}"
export GLIBC_TUNABLES
exec ./bin/tarvo "$@"
EOF
chmod 755 "$stage/norde"

cat >"$stage/README.txt" <<EOF
norde $version
$(printf '%*s' $((6 + ${#version})) '' | tr ' ' '=')

A real-time demo for Linux: a full-screen OpenGL show driven by its MP3
soundtrack (2:28), a landscape made of the music's spectrum under a northern
sky. Played by tarvo, the demo engine it was made with.

Credits
  Code, music, pictures and sync: the tarvo project. The soundtrack is
  synthesised note by note by the project's own generator; the title cards
  are set in DejaVu Sans (Bitstream Vera licence).
  Bundled libraries (lib/; their licences are in licenses/):
$(cd "$stage/lib" && ls | sed 's/\.so.*//' | tr '\n' ' ' | sed 's/ $//' | fold -s -w 72 | sed 's/ *$//; s/^/    /')

What it needs
  - Linux on x86-64 with glibc $floor or newer (Ubuntu 22.04, Debian 12 and
    later have it).
  - An X11 desktop (on Wayland through XWayland) with a GL driver that
    offers OpenGL 2.1 or later in a compatibility profile, with framebuffer
    objects and float textures: any Mesa, NVIDIA, AMD or Intel driver of the
    last decade.
  - Sound through PulseAudio, PipeWire or ALSA; without a sound device the
    show plays silently in real time.
  Everything else is in this folder. Nothing is installed; it writes only its
  log, output2.txt, into this folder (in a read-only folder the log goes to
  the console).

How to start
  ./norde                        full screen at the desktop's resolution
  ./norde --window 1280x720      in a window
  ./norde --help                 every option;  ./norde --version  the version

Keys
  Escape      end the show at once (it also ends by itself with the music)
  K           mute / unmute the music
  I           restart the music
  B           log the screen size
  L           print the log to the console
  O / P       print / reset the per-pass profiler report (console)
  C           free camera on / off (W A S D to move, Q / E field of view,
              left mouse button and mouse to look around)
  More keys for authoring (--live, the free camera's key editor) are listed by
  ./norde --help and in the project's README.
EOF

# --- archive -------------------------------------------------------------------
find "$stage" -type d -exec chmod 755 {} +
mkdir -p "$root/dist"
rm -f "$archive"
tar -C "$work" --owner=0 --group=0 --numeric-owner --sort=name -czf "$archive" "$name"
echo "release.sh: $(du -h "$archive" | cut -f1) $archive"
echo "$archive"
