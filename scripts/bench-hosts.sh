#!/usr/bin/env bash
# Times the IPod job (a 60-second 720p source into "IPod 320x240 Video") converted in segments
# on this computer alone (two at once) and through GNU parallel with one slot over SSH and one
# here, with the segments' spans sent and with a shared folder; prints each median, the ratios
# against local segments (of the medians, and the median of each round's own ratios: a round runs
# the three one after another, so a drift in the machine's speed moves them alike), the first
# transfer run alone (it logs in; the later runs find the
# connection open) and each segment's time from the log. The SSH server is the script's
# own (127.0.0.1, a free port, keys in a temporary folder), stopped at the end. Needs a built
# tidewell-convert (TW_BENCH_BUILD, default build), parallel, rsync and openssh-server.
#   scripts/bench-hosts.sh [REPS]
# TW_BENCH_CLEAN_HOME=1 (as root) gives the SSH logins an empty home folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=$root/${TW_BENCH_BUILD:-build}/src/cli/tidewell-convert
reps=${1:-3}
work=$(mktemp -d)
sshd_pid=
cleanup() {
    # Its sessions first: the runs' connections would keep them a minute.
    [ -n "$sshd_pid" ] && pkill -P "$sshd_pid" 2>/dev/null
    [ -n "$sshd_pid" ] && kill "$sshd_pid" 2>/dev/null && wait "$sshd_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
export XDG_CACHE_HOME=$work/cache

"$cli" --set InputFormat=lavfi --set VideoOptions.EncoderVideoCodecName=libx264 \
    --set VideoOptions.Bitrate=4000000 --set AudioOptions.EncoderAudioCodecName=aac \
    --option preset=veryfast --option g=50 --segments 1 \
    "testsrc2=size=1280x720:rate=25:duration=60,noise=alls=6:allf=t[out0];anoisesrc=color=pink:amplitude=0.2:sample_rate=48000:duration=60,aformat=channel_layouts=stereo[out1]" \
    "$work/source.mp4" 2>/dev/null

ssh-keygen -q -t ed25519 -N '' -f "$work/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$work/client_key"
cp "$work/client_key.pub" "$work/authorized_keys"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/sshd_config" <<CONFIG
Port $port
ListenAddress 127.0.0.1
HostKey $work/host_key
AuthorizedKeysFile $work/authorized_keys
PidFile none
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
SetEnv PATH=$(dirname "$cli"):/usr/local/bin:/usr/bin:/bin
CONFIG
sshd="exec /usr/sbin/sshd -D -f $work/sshd_config -E $work/sshd.log"
mounts=
if [ "$(id -u)" = 0 ] && [ ! -d /run/sshd ]; then
    # Its privilege separation folder, in a mount space of its own.
    mounts="mount -t tmpfs -o mode=755 bench /run && mkdir /run/sshd && "
fi
if [ -n "${TW_BENCH_CLEAN_HOME:-}" ]; then
    # The logins find an empty home, as on a computer set up for converting: the shell that
    # runs each SSH session reads no start-up file of this one's.
    [ "$(id -u)" = 0 ] || { echo "TW_BENCH_CLEAN_HOME needs root" >&2; exit 1; }
    mkdir "$work/home"
    mounts="$mounts mount --bind $work/home $HOME && "
fi
if [ -n "$mounts" ]; then
    unshare -m sh -c "$mounts $sshd" &
else
    sh -c "$sshd" &
fi
sshd_pid=$!
until (echo >"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do sleep 0.1; done
ssh_cmd="ssh -o StrictHostKeyChecking=no -o UserKnownHostsFile=$work/known_hosts -o BatchMode=yes -o LogLevel=ERROR -i $work/client_key -p $port"
printf '1/%s %s@127.0.0.1\n1/:\n' "$ssh_cmd" "$(id -un)" >"$work/logins"

# One run's wall time in seconds; its log in $work/last.log.
run() {
    local start end
    start=$(date +%s.%N)
    "$cli" -v --profile "IPod 320x240 Video" "$@" "$work/source.mp4" "$work/out.mp4" \
        2>"$work/last.log"
    end=$(date +%s.%N)
    rm -f "$work/out.mp4"
    echo "$end - $start" | bc
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

echo "== load before: $(cut -d' ' -f1-3 /proc/loadavg)"
: >"$work/local" >"$work/transfer" >"$work/shared"
for ((i = 0; i < reps; i++)); do
    lr=$(run --segments 2)
    tr=$(run --hosts "$work/logins")
    grep -o 'segment-[0-9]* converted on .* in [0-9.]* s' "$work/last.log" >>"$work/segments"
    sr=$(run --hosts "$work/logins" --shared-folder)
    echo "$lr" >>"$work/local"
    echo "$tr" >>"$work/transfer"
    echo "$sr" >>"$work/shared"
    echo "scale=4; $tr / $lr" | bc >>"$work/transfer_ratios"
    echo "scale=4; $sr / $lr" | bc >>"$work/shared_ratios"
done
l=$(median <"$work/local")
t=$(median <"$work/transfer")
s=$(median <"$work/shared")
# The first transfer run makes the connection the later runs find open.
c=$(head -n 1 "$work/transfer")
echo "hosts job=ipod local_segments_s=$l transfer_s=$t shared_s=$s" \
    "transfer_over_local=$(echo "scale=3; $t / $l" | bc) target=1.15" \
    "shared_over_local=$(echo "scale=3; $s / $l" | bc) target=1.05 reps=$reps" \
    "first_transfer_s=$c first_over_local=$(echo "scale=3; $c / $l" | bc)" \
    "transfer_over_local_paired=$(median <"$work/transfer_ratios")" \
    "shared_over_local_paired=$(median <"$work/shared_ratios")"
echo "== per segment (transfer runs):"
sort "$work/segments" | uniq
echo "== load after: $(cut -d' ' -f1-3 /proc/loadavg)"
