#!/usr/bin/env bash
# Brings up a private single-node Slurm cluster (munged, slurmctld, slurmd as
# plain background processes, no systemd, no cgroups, no accounting), renders
# frames 30:39 of the small test production through tools/farm/render-farm.sh in
# 3 shards and checks the result against a local render:
#   (a) same file names and byte-identical PNGs as one unsharded render,
#   (b) the video has 9 frames and an audio stream as long as the video,
#   (c) tarvo-render --check accepts the farm's hashes.txt.
# Needs root (it installs missing packages and runs slurmd). Every daemon it
# starts is stopped on exit, also on failure.
#
# Environment: TARVO_RENDER  renderer to test (default build/tarvo-render)
#              FARM_TIMEOUT  seconds to wait for the jobs (default 900)
#              FARM_KEEP=1   keep the temporary folder
set -euo pipefail

started=$SECONDS
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
renderer="${TARVO_RENDER:-$repo/build/tarvo-render}"
farm="$repo/tools/farm/render-farm.sh"
job_timeout="${FARM_TIMEOUT:-900}"
range=30:39
fps=30
size=320x180
shards=3
frame_count=9

fail() {
  printf 'slurm_farm_test: FAIL: %s\n' "$*" >&2
  exit 1
}
step() {
  printf '[%4ds] %s\n' "$((SECONDS - started))" "$*"
}

[ "$(id -u)" -eq 0 ] || fail "run as root (slurmd and apt-get need it)"
[ -x "$renderer" ] || fail "no renderer at $renderer (build the tarvo-render target)"
renderer_help="$("$renderer" --help 2>&1)" || fail "$renderer --help failed"
[[ "$renderer_help" == *--shard* ]] || fail "$renderer --help does not list --shard; rebuild tarvo-render"

# --- packages -----------------------------------------------------------------
packages=(slurmctld slurmd slurm-client munge ffmpeg)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  step "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  # The packages' service starts fail without an init system; nothing here needs them.
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# --- private cluster ------------------------------------------------------------
work="$(mktemp -d /tmp/slurm-farm-test.XXXXXX)"
# munged insists that every folder above its socket is searchable by everyone.
chmod 755 "$work"
mkdir -p "$work/munge" "$work/run" "$work/state" "$work/spool" "$work/log"
chmod 700 "$work/munge"
chmod 755 "$work/run"
munge_socket="$work/run/munge.socket"
export SLURM_CONF="$work/slurm.conf"

pids=()
job_ids=()
passed=0
cleanup() {
  local status=$?
  set +e
  if [ ${#job_ids[@]} -gt 0 ] && [ "$passed" -ne 1 ]; then
    scancel "${job_ids[@]}" 2>/dev/null
    sleep 2
  fi
  # Stop in reverse order of start: slurmd, slurmctld, munged.
  local i pid
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    pid="${pids[$i]}"
    kill -TERM "$pid" 2>/dev/null || continue
    for _ in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.2
    done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  if [ "$passed" -eq 1 ] && [ "${FARM_KEEP:-0}" != 1 ]; then
    rm -rf "$work"
  else
    printf 'slurm_farm_test: logs and outputs kept in %s\n' "$work" >&2
  fi
  printf 'slurm_farm_test: took %d s\n' "$((SECONDS - started))"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

dd if=/dev/urandom of="$work/munge/munge.key" bs=1024 count=1 status=none
chmod 400 "$work/munge/munge.key"

host="$(hostname -s)"
node_line="$(slurmd -C | head -n 1)"
[[ "$node_line" == NodeName=* ]] || fail "slurmd -C gave no node line: $node_line"
node_line="NodeName=$host ${node_line#NodeName=* }"

cat >"$SLURM_CONF" <<EOF
ClusterName=tarvofarmtest
SlurmctldHost=$host
# Ports away from the defaults, so that a real Slurm on this machine is left alone.
SlurmctldPort=16817
SlurmdPort=16818
AuthType=auth/munge
AuthInfo=socket=$munge_socket
CredType=cred/munge
SlurmUser=root
SlurmdUser=root
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/run/slurmctld.pid
SlurmdPidFile=$work/run/slurmd.pid
SlurmctldLogFile=$work/log/slurmctld.log
SlurmdLogFile=$work/log/slurmd.log
MailProg=/bin/true
# No cgroups: processes are tracked through their parents, tasks are not bound.
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
SwitchType=switch/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
# Finished jobs stay visible to scontrol for an hour.
MinJobAge=3600
$node_line State=UNKNOWN
PartitionName=farmtest Nodes=ALL Default=YES MaxTime=INFINITE State=UP
EOF

step "starting munged, slurmctld and slurmd (config $SLURM_CONF)"
cluster_started=$SECONDS
munged --foreground --key-file="$work/munge/munge.key" --socket="$munge_socket" \
  --pid-file="$work/munge/munged.pid" --log-file="$work/log/munged.log" \
  --seed-file="$work/munge/munged.seed" >"$work/log/munged.out" 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do
  [ -S "$munge_socket" ] && break
  sleep 0.2
done
munge --socket="$munge_socket" --no-input | unmunge --socket="$munge_socket" >/dev/null \
  || fail "munged does not answer; see $work/log/munged.out"

slurmctld -D >"$work/log/slurmctld.out" 2>&1 &
pids+=($!)
slurmd -D >"$work/log/slurmd.out" 2>&1 &
pids+=($!)

state=""
for _ in $(seq 1 120); do
  state="$(sinfo -h -n "$host" -o '%t' 2>/dev/null || true)"
  [ "$state" = idle ] && break
  for pid in "${pids[@]}"; do
    kill -0 "$pid" 2>/dev/null || fail "a daemon exited; see $work/log/*.out and *.log"
  done
  sleep 0.5
done
[ "$state" = idle ] || fail "node $host is '$state', not idle; see $work/log"
step "Slurm is up: node $host idle after $((SECONDS - cluster_started)) s"

# --- test production ----------------------------------------------------------
production="$work/production"
mkdir -p "$production"
cp -r "$repo/tests/e2e/production/." "$production/"
cp "$repo"/demosrc/norde/data/*.glsl "$repo"/demosrc/norde/data/{dot,binary,pointRenderer}.png \
  "$production/demosrc/norde/data/"
mkdir -p "$production/src/drawables"
cp "$repo"/src/drawables/cameraHUD.* "$production/src/drawables/"

# --- farm render ----------------------------------------------------------------
out="$work/farm"
video="$work/farm.mp4"
step "submitting frames $range in $shards shards"
submitted="$(bash "$farm" --production "$production" --frames "$range" --fps "$fps" --size "$size" \
  --shards "$shards" --out "$out" --video "$video" --renderer "$renderer")"
printf '%s\n' "$submitted"
array_id="$(printf '%s\n' "$submitted" | sed -n 's/^render array job: \([0-9][0-9]*\).*/\1/p')"
finish_id="$(printf '%s\n' "$submitted" | sed -n 's/^finish job: \([0-9][0-9]*\).*/\1/p')"
if [ -z "$array_id" ] || [ -z "$finish_id" ]; then
  fail "render-farm.sh printed no job ids"
fi
job_ids=("$array_id" "$finish_id")

# Job states of all of a job's records (an array has one per task).
job_states() {
  scontrol -o show job "$1" 2>/dev/null | grep -o 'JobState=[A-Z_]*' | cut -d= -f2
}
finished() {
  local s
  for s in $(job_states "$1"); do
    case "$s" in
      PENDING|RUNNING|CONFIGURING|COMPLETING|SUSPENDED|REQUEUED|REQUEUE_HOLD|REQUEUE_FED|RESIZING|SIGNALING|STAGE_OUT|STOPPED)
        return 1 ;;
    esac
  done
  [ -n "$(job_states "$1")" ]
}
deadline=$((SECONDS + job_timeout))
until finished "$array_id" && finished "$finish_id"; do
  [ "$SECONDS" -lt "$deadline" ] || {
    squeue
    fail "jobs still running after $job_timeout s; logs in $out/logs"
  }
  sleep 2
done
step "jobs finished: render array $(job_states "$array_id" | sort | uniq -c | xargs), finish $(job_states "$finish_id")"
for s in $(job_states "$array_id") $(job_states "$finish_id"); do
  if [ "$s" != COMPLETED ]; then
    tail -n 20 "$out"/logs/*.log >&2 || true
    fail "a job ended $s; logs in $out/logs"
  fi
done

# --- (a) same frames as one local render ---------------------------------------------
step "rendering $range locally for comparison"
single="$work/single"
(cd "$production" && "$renderer" --output "$single" --frames "$range" --fps "$fps" --size "$size") \
  >"$work/log/single.out" 2>&1 || fail "local render failed; see $work/log/single.out"
farm_names="$(cd "$out/frames" && ls)"
single_names="$(cd "$single" && ls)"
expected_names="$(for ((f = 30; f < 39; f++)); do printf '%05d.png\n' "$f"; done)"
[ "$single_names" = "$expected_names" ] \
  || fail "local render made $(tr '\n' ' ' <<<"$single_names"), not frames 00030..00038"
[ "$farm_names" = "$single_names" ] \
  || fail "farm frames ($(tr '\n' ' ' <<<"$farm_names")) differ from local frames"
while read -r name; do
  cmp -s "$out/frames/$name" "$single/$name" || fail "$name differs between farm and local render"
done <<<"$single_names"
step "(a) ok: $frame_count farm PNGs byte-identical to the local render"

# --- (b) the video ------------------------------------------------------------------
[ -s "$video" ] || fail "no video at $video"
video_frames="$(ffprobe -v error -count_frames -select_streams v:0 \
  -show_entries stream=nb_read_frames -of csv=p=0 "$video")"
video_duration="$(ffprobe -v error -select_streams v:0 -show_entries stream=duration -of csv=p=0 "$video")"
audio_duration="$(ffprobe -v error -select_streams a:0 -show_entries stream=duration -of csv=p=0 "$video")"
[ "$video_frames" = "$frame_count" ] || fail "video has '$video_frames' frames, not $frame_count"
[ -n "$audio_duration" ] || fail "video has no audio stream"
awk -v a="$audio_duration" -v v="$video_duration" \
  'BEGIN { d = a - v; if (d < 0) d = -d; exit !(d <= 0.03) }' \
  || fail "audio lasts $audio_duration s, video $video_duration s (more than 0.03 s apart)"
step "(b) ok: $video_frames video frames, video $video_duration s, audio $audio_duration s"

# --- (c) the hash list checks out -------------------------------------------------------
[ "$(wc -l <"$out/hashes.txt")" -eq "$frame_count" ] || fail "hashes.txt does not have $frame_count lines"
(cd "$production" && "$renderer" --check "$out/hashes.txt" --frames "$range" --fps "$fps" --size "$size") \
  >"$work/log/check.out" 2>&1 || {
  tail -n 20 "$work/log/check.out" >&2
  fail "tarvo-render --check rejects the farm's hashes.txt"
}
step "(c) ok: tarvo-render --check accepts hashes.txt"

passed=1
echo "slurm_farm_test: PASS"
