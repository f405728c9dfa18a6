#!/usr/bin/env bash
# Installs the build into a scratch prefix and runs the installed program: its usage title shows
# the version written at install time into the release layout, and as a server it answers
# /whoami, rings a bell through a stand-in player and saves a change to its database.
# Usage: installed_program_test.sh <cmake> <build dir> <expected version> [<emulator>]
#   The emulator (qemu-aarch64-static for the arm64 cross-build) runs the program of another
#   architecture; the stand-in player and the tools around it are the machine's own.
set -euo pipefail

cmake=$1
build=$2
version=$3
emulator=${4:-}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tollwick-install.XXXXXX")
server=
cleanup() {
  if [[ -n $server ]]; then
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  [[ -f $scratch/server.log ]] && sed 's/^/    server: /' "$scratch/server.log"
  exit 1
}
# Polls `condition` (a command) up to 30 s: emulation starts a program several times slower.
wait_for() {
  for _ in $(seq 300); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

"$cmake" --install "$build" --prefix "$scratch/prefix" >"$scratch/install.log" 2>&1 || {
  cat "$scratch/install.log"
  exit 1
}
for file in assets/alarm.mp3 assets/version.info; do
  [[ -f "$scratch/prefix/share/tollwick-player/$file" ]] || fail "the release layout lacks $file"
done

# Run from outside any repository, with its own user data and home, so nothing of the
# development setting can leak into what the installed program reports.
cd "$scratch"
program=($emulator "$scratch/prefix/bin/tollwick-player")
export HOME="$scratch/home" TOLLWICK_DATA_DIR="$scratch/data" TOLLWICK_SERVICE_URL=http://127.0.0.1:9
status=0
output=$("${program[@]}" --help 2>&1) || status=$?
printf '%s\n' "$output"
((status == 0)) || fail "installed program exited with status $status"
[[ "$output" == *"Tollwick Player v$version"* ]] || fail "expected the title 'Tollwick Player v$version'"

# The server, with a stand-in for the player program that notes each sound it is asked to play.
mkdir -p "$scratch/bin"
printf '#!/bin/sh\necho "$@" >>%q\n' "$scratch/played.txt" >"$scratch/bin/mpg123"
chmod +x "$scratch/bin/mpg123"
port=$((20000 + RANDOM % 20000))
PATH="$scratch/bin:$PATH" "${program[@]}" --port "$port" >"$scratch/server.log" 2>&1 &
server=$!
url=http://127.0.0.1:$port
answers() { curl -fsS "$url/whoami" >/dev/null 2>&1; }
wait_for answers || fail "the installed program does not answer /whoami on port $port"
echo "/whoami: $(curl -fsS "$url/whoami")"

post() { curl -fsS -X POST -H 'Content-Type: application/json' -d "$2" "$url$1" >/dev/null || fail "POST $1"; }
# Every day a workday, and one lesson whose start, its only bell, is eight seconds from now (not
# across midnight, where the lesson would end before it starts).
while (($(date +%s) % 86400 > 86390)); do sleep 1; done
bell=$(($(date +%s) + 8))
at() { date -d "@$1" +%H:%M:%S; }
none='{"id": "NULL", "doRepeat": false, "iterations": 1, "delaySec": 0}'
ping='{"id": "ID_ping", "doRepeat": false, "iterations": 1, "delaySec": 0}'
channel() {
  printf '{"lessons": [%s], "startOfClass": %s, "endOfClass": %s, "preStartWaitMin": 5, "preStart": %s,
    "preEndWaitMin": 5, "preEnd": %s}' "$1" "$2" "$none" "$none" "$none"
}
post /db/settings/update '{"calendar.workdayMode": 7}'
post /db/timetables/update/ID_factory_default_timetable \
  "{\"name\": \"Default\", \"chA\": $(channel "\"$(at "$bell") - $(at $((bell + 1)))\"" "$ping"),
    \"chB\": $(channel "" "$none"), \"customPlays\": []}"
rang() { [[ -s $scratch/played.txt ]]; }
wait_for rang || fail "the bell at $(at "$bell") did not ring through the stand-in player"
echo "the bell at $(at "$bell") played: $(head -1 "$scratch/played.txt")"

post /db/settings/update '{"alarmDelaySec": 7.5}'
saved() { grep -q '"alarmDelaySec": 7.5' "$scratch/data/_db.json" 2>/dev/null; }
wait_for saved || fail "the settings change is not written to _db.json"
echo "installed program checked${emulator:+ under $emulator}"
