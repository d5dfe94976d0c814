#!/usr/bin/env bash
# SIGTERM at random moments of the first seconds of many starts, on a busy machine: every start
# must end by itself with "has been closed" as the last line of its program log and a database
# that passes "PRAGMA integrity_check". Not part of the test suites (it runs for many minutes).
#
#   tests/stress/sigterm_stress.sh [-n STARTS] [-j PARALLEL] [-l LOAD] [-w WINDOW_MS] [-f] [-d DISPLAY] [PROGRAM]
#
# STARTS (default 200) starts, PARALLEL (default 2) at a time, each in a folder of its own with a
# copy of one database of 40 hosts on 127.0.0.0/8 (so monitoring, the long transaction and the
# start gate all begin inside the window). LOAD (default 4) busy loops run beside them. The
# signal goes at a moment drawn evenly from [0, WINDOW_MS) (default 10000) after the launch; a
# moment that falls before the program can catch the signal at all (while the dynamic loader
# runs, before the first line of main) waits until it can, and is counted as "early". PROGRAM is
# build/zorvanite-tarnequill unless given. With -f every start is a first start instead: the
# shipped Data folder without settings or database. With -d the starts run on that X display (its
# server, window manager and tray are the caller's) instead of offscreen. Prints one line per start
# and a summary; exits 1 when any start failed. Failed starts keep their folder under the work folder
# it names.
set -uo pipefail

starts=200
parallel=2
load=4
window_ms=10000
first=0
display=
while getopts "n:j:l:w:fd:" opt; do
  case "$opt" in
    n) starts=$OPTARG ;;
    j) parallel=$OPTARG ;;
    l) load=$OPTARG ;;
    w) window_ms=$OPTARG ;;
    f) first=1 ;;
    d) display=$OPTARG ;;
    *) sed -n '2,18p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
root=$(cd "$(dirname "$0")/../.." && pwd)
program=$(realpath "${1:-$root/build/zorvanite-tarnequill}")
[ -x "$program" ] || { echo "no program at $program" >&2; exit 2; }
command -v sqlite3 >/dev/null || { echo "sqlite3 is needed" >&2; exit 2; }

work=$(mktemp -d /tmp/sigterm-stress.XXXXXX)
loaders=()
cleanup() {
  for p in "${loaders[@]}"; do kill "$p" 2>/dev/null; done
}
trap cleanup EXIT

# The program as a test starts it: offscreen (or on the -d display), English, silent audio, its
# autostart entry kept out of the real home folder.
if [ -n "$display" ]; then screen=(QT_QPA_PLATFORM=xcb "DISPLAY=$display"); else screen=(QT_QPA_PLATFORM=offscreen); fi
run_program() { # folder
  cd "$1" && exec env "${screen[@]}" LANG=C.UTF-8 LC_ALL= LC_MESSAGES= \
    SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME="$1/config" ./zorvanite-tarnequill >"$1/output.log" 2>&1
}

catches_sigterm() { # pid
  # The launching subshell catches SIGTERM too until it has exec'd the program: only the
  # program's own handler counts.
  [ "$(readlink "/proc/$1/exe" 2>/dev/null)" = "$2" ] || return 1
  # Caught by its handler, or held (blocked) from the first line of main until the handler is in.
  local caught held
  caught=$(awk '/^SigCgt:/ {print $2}' "/proc/$1/status" 2>/dev/null) || return 1
  held=$(awk '/^SigBlk:/ {print $2}' "/proc/$1/status" 2>/dev/null) || return 1
  [ -n "$caught" ] && [ -n "$held" ] && (( ((16#$caught | 16#$held) >> 14) & 1 ))
}

now_ms() { date +%s%3N; }

# A template Data folder: the program makes its schema on a first run, then 40 hosts go in.
template=$work/template
mkdir -p "$template/Data"
cp "$program" "$template/zorvanite-tarnequill"
for d in "$root"/Data/*/; do cp -r "$d" "$template/Data/"; done
if [ $first -eq 0 ]; then
printf '2\r\n' >"$template/Data/Settings.cnfg"
(run_program "$template") &
pid=$!
for _ in $(seq 300); do catches_sigterm $pid "$template/zorvanite-tarnequill" && break; sleep 0.1; done
sleep 1
kill -TERM $pid
wait $pid
{
  echo "insert into list_group (Name,N_group,parent_id) values ('All',1,'');"
  for i in $(seq 1 40); do
    echo "insert into hosts (host,IP,Status,Enabled,Ping_check,Alarm_en,N_group,Kol_vo_p,ICMP_kol_vo_p,"\
"ICMP_Status,Http_check,Http_Kol_vo,SNMP_check) values ('h$i','127.0.0.$i','Unknown','-1','-1','0',1,'0','0','',"\
"'0',0,'0');"
  done
} | sqlite3 "$template/Data/dbm.db"
rm -f "$template/output.log"
fi

for _ in $(seq "$load"); do
  (while :; do :; done) &
  loaders+=($!)
done

one_start() { # number
  local n=$1 dir=$work/run-$1
  cp -r "$template" "$dir"
  local delay=$(( (RANDOM * 32768 + RANDOM) % window_ms ))
  local launched
  launched=$(now_ms)
  (run_program "$dir") &
  local pid=$! early=""
  while ! catches_sigterm $pid "$dir/zorvanite-tarnequill"; do
    kill -0 $pid 2>/dev/null || break
    sleep 0.002
  done
  local caught=$(( $(now_ms) - launched ))
  if [ "$caught" -gt "$delay" ]; then early=" early(handler at ${caught} ms)"; fi
  local left=$(( launched + delay - $(now_ms) ))
  if [ "$left" -gt 0 ]; then sleep "$(printf '%d.%03d' $((left / 1000)) $((left % 1000)))"; fi
  kill -TERM $pid 2>/dev/null
  local sent=$(( $(now_ms) - launched ))
  local ended=0
  for _ in $(seq 1200); do
    kill -0 $pid 2>/dev/null || { ended=1; break; }
    sleep 0.1
  done
  local verdict=ok
  if [ $ended -eq 0 ]; then
    verdict="FAILED: still running 120 s after the signal"
    kill -KILL $pid 2>/dev/null
  fi
  wait $pid 2>/dev/null
  local rc=$?
  local last integrity
  last=$(sqlite3 "$dir/Data/dbm.db" "select Status from program_log order by rowid desc limit 1" 2>&1)
  integrity=$(sqlite3 "$dir/Data/dbm.db" "pragma integrity_check" 2>&1)
  if [ "$verdict" = ok ]; then
    if [ $rc -ne 0 ]; then verdict="FAILED: exit code $rc"
    elif [ "$last" != "Zorvanite Tarnequill Pro has been closed" ]; then verdict="FAILED: last log line \"$last\""
    elif [ "$integrity" != ok ]; then verdict="FAILED: integrity \"$integrity\""
    fi
  fi
  printf 'start %3d: signal at %5d ms%s: %s\n' "$n" "$sent" "$early" "$verdict"
  if [ "$verdict" = ok ]; then rm -rf "$dir"; fi
}

echo "program $program, $starts starts, $parallel at a time, $load busy loops, window $window_ms ms, ${display:-offscreen}"
echo "work folder $work"
results=$work/results
for n in $(seq 1 "$starts"); do
  one_start "$n" >>"$results" &
  while [ "$(jobs -rp | wc -l)" -ge $((parallel + load)) ]; do sleep 0.2; done
done
while [ "$(jobs -rp | wc -l)" -gt "$load" ]; do sleep 0.5; done
sort -n -k2 "$results"
failed=$(grep -c FAILED "$results")
early=$(grep -c early "$results")
echo "$starts starts: $((starts - failed)) closed cleanly, $failed failed ($early signals held until the handler was in place)"
[ "$failed" -eq 0 ]
