#!/usr/bin/env bash
# Makes the program's alarm sounds from sox synthesis recipes into Data/Sounds/ (or the folder
# given as the first argument). The same recipes give the same bytes on every run.
# Needs sox; the MP3s need sox's MP3 support (libsox-fmt-mp3) and are skipped without it.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-Data/Sounds}
mkdir -p "$out"
command -v sox >/dev/null || { echo "make-sounds: sox is not installed" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Repeatable, undithered, no comment tag: the output depends on the recipe alone.
SOX=(sox -R -D --no-show-progress)
RAW=(-r 44100 -c 1 -b 16 -e signed-integer)

mp3=1
if ! sox -h 2>/dev/null | grep -A2 'AUDIO FILE FORMATS' | grep -qw mp3; then
  mp3=0
fi

# note <file> <seconds> <wave> <frequency or sweep> [effects...]
note() {
  local file=$1 len=$2 wave=$3 freq=$4
  shift 4
  "${SOX[@]}" -n "${RAW[@]}" "$work/$file" synth "$len" "$wave" "$freq" "$@"
}

# finish <name> <parts...>: joins the parts, adds the last effects and writes the sound.
finish() {
  local name=$1
  shift
  local parts=()
  for p in "$@"; do parts+=("$work/$p"); done
  case "$name" in
    *.mp3)
      if [ "$mp3" = 0 ]; then
        echo "make-sounds: no MP3 support in sox (libsox-fmt-mp3), $name skipped" >&2
        return
      fi
      "${SOX[@]}" "${parts[@]}" --comment "" -C 128 "$out/$name" "${FINAL[@]}" ;;
    *)
      "${SOX[@]}" "${parts[@]}" --comment "" -b 16 "$out/$name" "${FINAL[@]}" ;;
  esac
  echo "made $out/$name"
}

# A wand: a quick rising E major arpeggio, then a shimmering high tail.
note w1.wav 0.09 sine 1318.5 fade q 0.005 0.09 0.03
note w2.wav 0.09 sine 1568 fade q 0.005 0.09 0.03
note w3.wav 0.09 sine 1975.5 fade q 0.005 0.09 0.03
note w4.wav 0.09 sine 2637 fade q 0.005 0.09 0.03
note w5.wav 0.55 sine 3136 tremolo 18 60 fade q 0.01 0.55 0.5
FINAL=(gain -8 pad 0 0.4 reverb 40 50 60 gain -n -3)
finish magic-wand-1.mp3 w1.wav w2.wav w3.wav w4.wav w5.wav

# A plain beep.
note b1.wav 0.25 sine 1000 fade t 0.01 0.25 0.02
FINAL=(gain -n -3)
finish beep.wav b1.wav

# A siren: up and down sweeps, twice.
note s1.wav 0.4 sine 600-1100 fade t 0.01 0.4 0.01
note s2.wav 0.4 sine 1100-600 fade t 0.01 0.4 0.01
FINAL=(gain -n -4)
finish siren.wav s1.wav s2.wav s1.wav s2.wav

# A door chime: two falling notes that ring out.
note c1.wav 0.55 sine 659.25 fade q 0.01 0.55 0.5
note c2.wav 0.8 sine 523.25 fade q 0.01 0.8 0.75
FINAL=(gain -8 pad 0 0.3 reverb 30 gain -n -3)
finish door-chime.mp3 c1.wav c2.wav

# Three soft square pulses, for a host that keeps failing.
note p1.wav 0.15 square 440 lowpass 1800 fade t 0.005 0.15 0.02
note p0.wav 0.1 sine 0 vol 0
FINAL=(gain -n -4)
finish pulse-alarm.wav p1.wav p0.wav p1.wav p0.wav p1.wav

# A rising ping.
note r1.wav 0.45 sine 700:1800 fade q 0.01 0.45 0.35
FINAL=(gain -8 pad 0 0.3 reverb 20 gain -n -3)
finish rising-ping.mp3 r1.wav

if [ "$mp3" = 0 ]; then
  exit 3
fi
