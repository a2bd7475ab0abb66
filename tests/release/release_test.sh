#!/usr/bin/env bash
# The release archive on a clean machine. Builds it with scripts/release.sh,
# then makes a minimal Debian 12 root (debootstrap --variant=minbase bookworm)
# that holds only what a desktop's graphics and sound stack provides (Mesa's
# GL and EGL with its software driver, the X11 and Wayland client libraries,
# the ALSA and PulseAudio client libraries) plus Xvfb and xdotool to drive the
# test: no SDL, GLEW, mpg123 or compiler. An ordinary user unpacks the archive
# there into a folder whose path holds a space, and inside the root:
#   - ldd bin/tarvo finds every library, the bundled ones in the folder's lib/;
#   - ./norde --version names the archive's version;
#   - started from another folder, the show plays full screen at the screen's
#     size from the prebuilt spectrum cache, with no network socket open;
#   - Escape after 5 seconds ends it with exit code 0 within 100 ms (printed);
#   - ./norde --live serves the editor page, a module of it and /api/state
#     (with the token from its log, which is 0600) over curl, from itself;
#   - bin/tarvo holds no path of the build machine, lib/ no TLS or
#     compression library;
#   - in a read-only folder it plays, its log on the console with one line
#     saying so, and a close request (SIGTERM, what the desktop sends) ends it
#     in order: exit code 0 and the music player's farewell last.
# Run as root (chroot and mounts). The prepared root is kept in
# /var/cache/tarvo-release-test (RELEASE_TEST_CACHE names another folder);
# --fresh makes a new one in a temporary folder and leaves the cache alone.
# Prints how long it took.
#
#   bash tests/release/release_test.sh [--fresh]
set -euo pipefail
cd "$(dirname "$0")/../.."
repo="$(pwd)"
started=$SECONDS

fresh=0
for arg in "$@"; do
  case "$arg" in
    --fresh) fresh=1 ;;
    *) echo "usage: $0 [--fresh]" >&2; exit 2 ;;
  esac
done

fail() {
  echo "release_test: FAILED: $*" >&2
  exit 1
}
step() { echo "release_test: $* ($((SECONDS - started)) s)"; }

[ "$(id -u)" -eq 0 ] || fail "run it as root: it makes a chroot and mounts in it"
command -v debootstrap >/dev/null 2>&1 || fail "debootstrap is missing (bash scripts/install-deps.sh test installs it)"

# What a stock desktop brings along, and the two tools that drive the test.
ROOT_PACKAGES=(
  libgl1 libegl1 libglx-mesa0 libegl-mesa0 libgl1-mesa-dri libgbm1
  libx11-6 libx11-xcb1 libxcb1 libxext6 libxcursor1 libxi6 libxfixes3 libxrandr2 libxrender1 libxss1
  libxinerama1 libxxf86vm1 libxkbcommon0
  libwayland-client0 libwayland-cursor0 libwayland-egl1
  libasound2 libpulse0
  xvfb xdotool
)
readonly party_uid=1000
readonly screen_w=1600 screen_h=900
readonly display_number=7
readonly max_key_to_exit_ms=100

# The mirror this machine's apt uses for bookworm.
apt_mirror() {
  local uri=""
  if compgen -G "/etc/apt/sources.list.d/*.sources" >/dev/null; then
    uri="$(awk 'BEGIN { RS = ""; FS = "\n" }
      { types = suites = uris = ""
        for (i = 1; i <= NF; ++i) {
          if ($i ~ /^Types:/) types = " " substr($i, 7) " "
          if ($i ~ /^Suites:/) suites = " " substr($i, 8) " "
          if ($i ~ /^URIs:/) uris = substr($i, 6)
        }
        if (types ~ / deb / && suites ~ /[ \t]bookworm[ \t]/) { split(uris, u, " "); if (u[1] != "") { print u[1]; exit } } }' \
      /etc/apt/sources.list.d/*.sources)"
  fi
  if [ -z "$uri" ]; then
    uri="$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | sed 's/\[[^]]*\]//' |
      awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }')"
  fi
  echo "${uri:-http://deb.debian.org/debian}"
}

work="$(mktemp -d /tmp/tarvo-release-test.XXXXXX)"
rootfs="$work/root"
mounts=()
xvfb_pid=""

cleanup() {
  local status=$?
  # Whatever still runs inside the root was started by this test.
  if [ -d "$rootfs" ]; then
    for p in /proc/[0-9]*; do
      if [ "$(readlink "$p/root" 2>/dev/null)" = "$rootfs" ]; then kill -9 "${p#/proc/}" 2>/dev/null || true; fi
    done
  fi
  [ -n "$xvfb_pid" ] && wait "$xvfb_pid" 2>/dev/null || true
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; --i)); do
    umount "${mounts[$i]}" 2>/dev/null || umount -l "${mounts[$i]}" 2>/dev/null || true
  done
  if grep -qF " $work/" /proc/mounts; then
    echo "release_test: $work is left in place: something is still mounted in it" >&2
  else
    rm -rf "$work"
  fi
  exit "$status"
}
trap cleanup EXIT

# /proc, /sys (read-only; glibc reads the huge page settings there), a
# private /dev with the few devices a program expects, and /tmp.
mount_system() {  # mount_system ROOT
  local r="$1"
  mount -t proc proc "$r/proc" && mounts+=("$r/proc")
  mount -t sysfs -o ro sysfs "$r/sys" && mounts+=("$r/sys")
  mount -t tmpfs -o mode=755,size=16m tmpfs "$r/dev" && mounts+=("$r/dev")
  mknod -m 666 "$r/dev/null" c 1 3
  mknod -m 666 "$r/dev/zero" c 1 5
  mknod -m 666 "$r/dev/full" c 1 7
  mknod -m 666 "$r/dev/random" c 1 8
  mknod -m 666 "$r/dev/urandom" c 1 9
  mknod -m 666 "$r/dev/tty" c 5 0
  ln -s /proc/self/fd "$r/dev/fd"
  ln -s /proc/self/fd/0 "$r/dev/stdin"
  ln -s /proc/self/fd/1 "$r/dev/stdout"
  ln -s /proc/self/fd/2 "$r/dev/stderr"
  mkdir -m 1777 "$r/dev/shm"
  mount -t tmpfs -o mode=1777 tmpfs "$r/tmp" && mounts+=("$r/tmp")
}

unmount_system() {  # after mount_system, before anything else was mounted
  local i
  for i in 1 2 3 4; do
    umount "${mounts[-1]}"
    unset 'mounts[-1]'
  done
}

# Debootstraps and equips a root in DIR (which must not exist).
make_root() {
  local dir="$1" mirror
  mirror="$(apt_mirror)"
  step "debootstrap --variant=minbase bookworm from $mirror"
  debootstrap --variant=minbase bookworm "$dir" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -n 30 "$work/debootstrap.log" >&2; fail "debootstrap did not finish (log above)"; }
  cp /etc/resolv.conf "$dir/etc/resolv.conf"
  printf '#!/bin/sh\nexit 101\n' >"$dir/usr/sbin/policy-rc.d"
  chmod 755 "$dir/usr/sbin/policy-rc.d"
  mount_system "$dir"
  step "installing the desktop's graphics and sound libraries, Xvfb and xdotool into the root"
  if ! chroot "$dir" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
      sh -c "apt-get -q -o APT::Sandbox::User=root update && apt-get -q -y -o APT::Sandbox::User=root \
             install --no-install-recommends ${ROOT_PACKAGES[*]} && apt-get clean" >"$work/apt.log" 2>&1; then
    tail -n 30 "$work/apt.log" >&2
    fail "the packages did not install in the root (log above)"
  fi
  # Debian 12's libsndfile (under PulseAudio's client library) brings
  # libmpg123 along; Ubuntu 22.04's does not. Out it goes, so that only the
  # archive's copy can serve the player (and libsndfile).
  chroot "$dir" dpkg --purge --force-depends libmpg123-0 >>"$work/apt.log" 2>&1 ||
    { tail -n 10 "$work/apt.log" >&2; fail "libmpg123 could not be taken out of the root"; }
  chroot "$dir" useradd -m -u "$party_uid" -s /bin/sh party
  unmount_system
}

# --- the archive ---------------------------------------------------------------
step "building the archive"
bash scripts/release.sh | tee "$work/release.txt"
archive="$(tail -n 1 "$work/release.txt")"
[ -f "$archive" ] || fail "scripts/release.sh made no archive"
folder="$(tar -tzf "$archive" | cut -d/ -f1 | sort -u)"
[ "$(wc -l <<<"$folder")" -eq 1 ] || fail "the archive holds more than one folder: $(echo $folder)"
version="${folder#norde-}"
[ "$folder" = "norde-$version" ] && [ -n "$version" ] || fail "the archive's folder is $folder, not norde-VERSION"
[ "$(basename "$archive")" = "$folder-linux-x86_64.tar.gz" ] ||
  fail "the archive is named $(basename "$archive"), expected $folder-linux-x86_64.tar.gz"
# The version is what git describe said of this checkout: its commit is here.
git -C "$repo" cat-file -e "$(sed 's/-dirty$//; s/.*-g//' <<<"$version")^{commit}" 2>/dev/null ||
  fail "the archive's version $version names no commit of this checkout"

# --- the clean root --------------------------------------------------------------
recipe="bookworm minbase $(apt_mirror) uid=$party_uid ${ROOT_PACKAGES[*]} -libmpg123-0"
key="$(printf '%s' "$recipe" | sha256sum | cut -c1-12)"
if [ "$fresh" -eq 1 ]; then
  lower="$work/pristine"
  make_root "$lower"
else
  cache="${RELEASE_TEST_CACHE:-/var/cache/tarvo-release-test}"
  mkdir -p "$cache"
  lower="$cache/bookworm-$key"
  exec 9>"$cache/.lock"
  flock 9
  if [ -d "$lower" ]; then
    step "using the cached root $lower"
  else
    rm -rf "$lower.partial"
    make_root "$lower.partial"
    mv "$lower.partial" "$lower"
  fi
  flock -u 9
fi
# Each run plays in a throw-away layer over the prepared root.
mkdir -p "$work/upper" "$work/overlay-work" "$rootfs"
mount -t overlay overlay -o "lowerdir=$lower,upperdir=$work/upper,workdir=$work/overlay-work" "$rootfs"
mounts+=("$rootfs")
mount_system "$rootfs"

for library in libSDL2-2.0.so.0 libGLEW.so.2.2 libmpg123.so.0 libkissfft-float.so.131; do
  [ -z "$(find "$rootfs/usr/lib" "$rootfs/lib" -name "$library" 2>/dev/null | head -n 1)" ] ||
    fail "the clean root has $library of its own: it proves nothing about the archive"
done
for compiler in gcc g++ cc c++ clang; do
  [ ! -e "$rootfs/usr/bin/$compiler" ] || fail "the clean root has a compiler ($compiler)"
done

demos="/home/party/my demos"
dir="$demos/$folder"
host_dir="$rootfs$dir"
install -d -o "$party_uid" -g "$party_uid" "$rootfs$demos"
install -o "$party_uid" -g "$party_uid" -m 644 "$archive" "$rootfs/home/party/norde.tar.gz"
install -d -o "$party_uid" -g "$party_uid" -m 700 "$rootfs/run/user/$party_uid"
install -d -m 1777 "$rootfs/tmp/.X11-unix"

# A command in the root as the party user, with a plain environment. Used
# as a plain command (not a function) where $! must be the program's pid.
party=(chroot --userspec="$party_uid:$party_uid" "$rootfs" /usr/bin/env -i HOME=/home/party USER=party
  LOGNAME=party PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 DISPLAY=":$display_number"
  XDG_RUNTIME_DIR="/run/user/$party_uid")
as_party() { "${party[@]}" "$@"; }

step "unpacking as an ordinary user into \"$demos\""
as_party tar -xzf /home/party/norde.tar.gz -C "$demos" || fail "the archive did not unpack"
# What building and unpacking wrote goes to the disk now, not while the show
# is timed.
sync

# --- libraries -----------------------------------------------------------------
as_party sh -c 'cd "$1" && ldd bin/tarvo' sh "$dir" >"$work/ldd.txt" 2>&1 || { cat "$work/ldd.txt"; fail "ldd bin/tarvo failed"; }
if grep -q "not found" "$work/ldd.txt"; then
  cat "$work/ldd.txt"
  fail "bin/tarvo does not find every library in the clean root"
fi
for library in libSDL2-2.0.so.0 libGLEW.so.2.2 libmpg123.so.0 libkissfft-float.so.131; do
  grep -qF "$library => $dir/bin/../lib/$library" "$work/ldd.txt" ||
    fail "$library is not taken from the folder's lib/: $(grep -F "$library" "$work/ldd.txt")"
done
step "ldd bin/tarvo in the clean root: $(grep -c '=>' "$work/ldd.txt") libraries, none missing; bundled: $(ls "$host_dir/lib" | tr '\n' ' ')"

! grep -qaF "$repo" "$host_dir/bin/tarvo" || fail "bin/tarvo holds the build machine's path $repo"
for unused in libssl libcrypto libbrotli libz.so libzstd; do
  ! ls "$host_dir/lib" | grep -q "^$unused" || fail "lib/ carries $(ls "$host_dir/lib" | grep "^$unused" | head -n 1), which the player does not use"
done
reported="$(as_party sh -c 'cd "$1" && ./norde --version' sh "$dir")"
[ "$reported" = "tarvo $version" ] || fail "./norde --version printed '$reported', expected 'tarvo $version'"
step "./norde --version: $reported"

# --- a display -------------------------------------------------------------------
"${party[@]}" Xvfb ":$display_number" -screen 0 "${screen_w}x${screen_h}x24" -nolisten tcp >"$work/xvfb.txt" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  as_party xdotool getdisplaygeometry >/dev/null 2>&1 && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.txt"; fail "Xvfb did not start in the root"; }
  sleep 0.1
done
as_party xdotool getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb is not answering"

# Starts the show from the home folder through the launcher's full path;
# sets player_pid. The launcher and sh exec, so the pid is the player's.
start_show() {  # start_show CONSOLE_FILE
  "${party[@]}" sh -c 'cd /home/party && exec "$1/norde"' sh "$dir" >"$1" 2>&1 &
  player_pid=$!
}

wait_for_text() {  # wait_for_text FILE TEXT SECONDS
  local deadline=$((SECONDS + $3))
  while [ $SECONDS -lt $deadline ]; do
    if [ -f "$1" ] && grep -qF -- "$2" "$1"; then return 0; fi
    kill -0 "$player_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Sockets the process holds: "unix N inet M".
count_sockets() {
  local pid="$1" inodes inet_table unix_table inet=0 unix=0 inode
  inodes="$(for fd in /proc/"$pid"/fd/*; do readlink "$fd" 2>/dev/null; done | sed -n 's/^socket:\[\([0-9]*\)\]$/\1/p')"
  inet_table="$(cat /proc/"$pid"/net/{tcp,tcp6,udp,udp6,raw,raw6} 2>/dev/null | awk 'NR > 0 { print $10 }')"
  unix_table="$(awk 'NR > 1 { print $7 }' /proc/"$pid"/net/unix)"
  for inode in $inodes; do
    if grep -qxF "$inode" <<<"$inet_table"; then inet=$((inet + 1)); fi
    if grep -qxF "$inode" <<<"$unix_table"; then unix=$((unix + 1)); fi
  done
  echo "unix $unix inet $inet"
}

# --- the show: full screen, Escape -------------------------------------------------
log="$host_dir/output2.txt"
start_show "$work/console1.txt"
for _ in $(seq 100); do
  [ "$(readlink "/proc/$player_pid/exe" 2>/dev/null)" = "$rootfs$dir/bin/tarvo" ] && break
  sleep 0.1
done
[ "$(readlink "/proc/$player_pid/exe" 2>/dev/null)" = "$rootfs$dir/bin/tarvo" ] ||
  fail "the launcher did not become the player (pid $player_pid runs $(readlink "/proc/$player_pid/exe" 2>/dev/null))"
wait_for_text "$log" "Profiler::Reset" 300 || { cat "$work/console1.txt"; fail "the show did not draw its first frame"; }
step "the show draws; playing it for 5 seconds"
sleep 5
kill -0 "$player_pid" 2>/dev/null || { cat "$work/console1.txt"; fail "the show ended by itself within 5 seconds"; }
grep -qxF "Current Screen Resolution: $screen_w $screen_h" "$log" || fail "the show did not take the screen's size: $(grep -F 'Screen' "$log")"
grep -qxF "ScreenSize = ${screen_w}x${screen_h} with aspect ratio of 1.777778" "$log" || fail "the window is not the size of the screen"
grep -qF 'Loading FFT Cache: demosrc\norde\data\brivel-669.cache' "$log" || fail "the prebuilt spectrum cache was not loaded"
! grep -qF 'Creating demosrc' "$log" || fail "the show analysed the soundtrack again on its first start"
sockets="$(count_sockets "$player_pid")"
case "$sockets" in
  "unix 0 "*) fail "the player holds no unix socket either: the socket check sees nothing ($sockets)" ;;
  *" inet 0") step "sockets of the player: $sockets (the X server's and the like; no network socket)" ;;
  *) fail "the player opened a network socket without --live ($sockets)" ;;
esac

memory="$(awk '/^Rss:/ { rss = $2 } /^AnonHugePages:/ { huge = $2 } END { printf "%d MB, %d MB of it in huge pages", rss / 1024, huge / 1024 }' "/proc/$player_pid/smaps_rollup")"
step "the player's memory: $memory"
key_started=$EPOCHREALTIME
as_party xdotool keydown --delay 0 Escape
key_sent=$EPOCHREALTIME
status=0
wait "$player_pid" || status=$?
exited=$EPOCHREALTIME
as_party xdotool keyup Escape >/dev/null 2>&1 || true
key_to_exit_ms="$(awk -v a="$key_sent" -v b="$exited" 'BEGIN { d = (b - a) * 1000; if (d < 0) d = 0; printf "%.1f", d }')"
xdotool_ms="$(awk -v a="$key_started" -v b="$key_sent" 'BEGIN { printf "%.1f", (b - a) * 1000 }')"
logged_ms="$(awk -v a="$key_sent" -v b="$(stat -c %.Y "$log")" 'BEGIN { printf "%.1f", (b - a) * 1000 }')"
echo "release_test: Escape to exit: $key_to_exit_ms ms (from the moment xdotool, itself $xdotool_ms ms, had sent the key; the log's last line written at $logged_ms ms)"
[ "$status" -eq 0 ] || { cat "$work/console1.txt" | tail -n 20; fail "the player's exit code after Escape was $status"; }
awk -v t="$key_to_exit_ms" -v max="$max_key_to_exit_ms" 'BEGIN { exit !(t < max) }' ||
  fail "the player took $key_to_exit_ms ms to end after Escape (at most $max_key_to_exit_ms)"
last="$(tail -n 1 "$log")"
case "$last" in
  "Rydd minnet ditt sjael") step "the log ends with the music player's farewell" ;;
  "Escape: the show ends at once")
    step "the log ends with the Escape watch's line: the show ended at once" ;;
  *) fail "the log does not end with the farewell or the Escape line but with: $last" ;;
esac

# --- live mode: the editor page from inside the player ---------------------------
# The page is built into the player: fetched over curl from this machine (the
# root shares its network), with the token the log names.
"${party[@]}" sh -c 'cd "$1" && exec ./norde --live --mute' sh "$dir" >"$work/console-live.txt" 2>&1 &
player_pid=$!
wait_for_text "$log" "editor: http://127.0.0.1:" 300 || { tail -n 20 "$work/console-live.txt"; fail "./norde --live did not start its editor"; }
editor_line="$(grep -o 'editor: http://127.0.0.1:[0-9]*/#[0-9a-f]*' "$log" | head -n 1)"
editor_port="$(sed 's/.*:\([0-9]*\)\/#.*/\1/' <<<"$editor_line")"
token="${editor_line##*#}"
[ -n "$editor_port" ] && [ ${#token} -eq 32 ] || fail "no port and token in the editor's log line: $editor_line"
[ "$(stat -c %a "$log")" = "600" ] || fail "in live mode the log, which holds the token, is $(stat -c %a "$log"), not 600"
fetch() {  # fetch PATH [curl arguments]: prints the status and the content type
  local path="$1"
  shift
  curl -s -o "$work/fetched" -w '%{http_code} %{content_type}' --max-time 10 "$@" "http://127.0.0.1:$editor_port$path"
}
answer="$(fetch /)"
[ "${answer%% *}" = "200" ] && grep -q '<script' "$work/fetched" || fail "the editor page: $answer"
module="$(grep -o 'src="[^"]*\.js"' "$work/fetched" | head -n 1 | sed 's/src="\.\{0,1\}\/\{0,1\}//; s/"$//')"
[ -n "$module" ] || fail "the editor page names no module"
answer="$(fetch "/$module")"
[ "$answer" = "200 text/javascript; charset=utf-8" ] || fail "the page's module $module: $answer"
answer="$(fetch /api/state -H "Authorization: Bearer $token")"
[ "${answer%% *}" = "200" ] && grep -q '"tracks"' "$work/fetched" || fail "/api/state: $answer $(head -c 200 "$work/fetched")"
[ "$(fetch /api/state)" != "${answer}" ] || fail "/api/state answered without the token"
kill -TERM "$player_pid"
status=0
wait "$player_pid" || status=$?
[ "$status" -eq 0 ] || { tail -n 20 "$work/console-live.txt"; fail "./norde --live gave exit code $status on a close request"; }
step "live mode: the page, /$module and /api/state answered 200 from the player on port $editor_port; the log is 0600"

# --- a read-only folder --------------------------------------------------------------
as_party chmod -R a-w "$dir"
old_log="$(sha256sum "$log")"
start_show "$work/console2.txt"
wait_for_text "$work/console2.txt" "Profiler::Reset" 300 || { cat "$work/console2.txt"; fail "the show did not start in the read-only folder"; }
sleep 2
kill -0 "$player_pid" 2>/dev/null || { cat "$work/console2.txt"; fail "the show ended by itself in the read-only folder"; }
kill -TERM "$player_pid"
status=0
wait "$player_pid" || status=$?
[ "$status" -eq 0 ] || { tail -n 20 "$work/console2.txt"; fail "closing the show in the read-only folder gave exit code $status"; }
notices="$(grep -c "^The log file output2.txt cannot be written (Permission denied): the log goes to the console only$" "$work/console2.txt" || true)"
[ "$notices" = "1" ] || { head -n 5 "$work/console2.txt"; fail "the console should say once that the log goes there only (said $notices times)"; }
[ "$(tail -n 1 "$work/console2.txt")" = "Rydd minnet ditt sjael" ] ||
  fail "the read-only show did not end in order: $(tail -n 3 "$work/console2.txt")"
[ "$(sha256sum "$log")" = "$old_log" ] || fail "the log file in the read-only folder changed"
step "read-only folder: plays, log on the console, ends in order on a close request"

kill "$xvfb_pid" 2>/dev/null || true
echo "release_test: passed in $((SECONDS - started)) s: $(basename "$archive") ($(du -h "$archive" | cut -f1)), Escape to exit $key_to_exit_ms ms"
