#!/usr/bin/env bash
# The installer under Wine: a silent install for all users puts the program, its resources, the
# Start-menu entries and the logon start of the tray launcher where the installer says, chooses the
# PC's data directory and moves a user's own data there; a silent uninstall removes the entries and
# keeps the data. A second install for the current user alone keeps that user's own directory. Runs in a Wine prefix of its own, so no other test sees the installed program.
# Usage: installer_test.sh INSTALLER.exe VERSION
set -euo pipefail

installer=$1
version=$2
here=$(cd "$(dirname "$0")/../.." && pwd)
[[ -f "$installer" ]] || {
  echo "no installer at $installer (make windows-package)"
  exit 1
}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tollwick-installer.XXXXXX")
export WINEPREFIX="$scratch/wine"
wineserver=$(command -v wineserver64 || command -v wineserver || echo /usr/lib/wine/wineserver64)
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$scratch"' EXIT

failures=0
passed=0
check() {
  if [[ -e "$2" ]]; then
    echo "ok: $1"
    passed=$((passed + 1))
  else
    echo "MISSING: $1 ($2)"
    failures=$((failures + 1))
  fi
}
gone() {
  if [[ -e "$2" ]]; then
    echo "LEFT BEHIND: $1 ($2)"
    failures=$((failures + 1))
  else
    echo "ok: $1"
    passed=$((passed + 1))
  fi
}

cp "$installer" "$scratch/setup.exe"
drive="$WINEPREFIX/drive_c"
program="$drive/Program Files/Tollwick Player"
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs"
shared="$drive/ProgramData/TollwickPlayer"
# A user's data from an installation of their own, as the program would have written it: the
# installer for all users moves them to ProgramData.
own="$drive/users/$(id -un)/AppData/Roaming/TollwickPlayer"
mkdir -p "$own/playlog"
echo '{"timetables": {}}' >"$own/_db.json"
printf '{"due": "2026-12-10T08:00:00"}\n' >"$own/playlog/2026-12-10.jsonl"
head -c 70000 /dev/urandom >"$own/0b6f-gong.mp3"
before=$(mktemp -d "$scratch/before.XXXXXX")
cp -a "$own/." "$before/"

"$here/scripts/wine-run" "$scratch/setup.exe" /S
"$wineserver" -w

check "the program under Program Files" "$program/tollwick-player.exe"
check "the tray launcher" "$program/tollwick-tray.exe"
check "the built-in signals" "$program/assets/s-bigben.mp3"
check "the browser interface" "$program/web-ui/dist/index.html"
check "the uninstaller" "$program/uninstall.exe"
check "the Start-menu entry" "$menu/Tollwick Player/Tollwick Player.lnk"
check "the dashboard link" "$menu/Tollwick Player/Tollwick Player dashboard.url"
check "the log folder's entry" "$menu/Tollwick Player/Open the log folder.lnk"
check "the start at logon" "$menu/StartUp/Tollwick Player.lnk"
check "the log folder of the PC's data" "$shared/log"
says() { # what, expected, actual
  if [[ "$3" == "$2" ]]; then
    echo "ok: $1"
    passed=$((passed + 1))
  else
    echo "WRONG: $1: '$3', not '$2'"
    failures=$((failures + 1))
  fi
}
says "version.info" "$version" "$(tr -d '\r\n' <"$program/assets/version.info")"
says "the data-directory choice for all users" "ProgramData" "$(tr -d '\r\n' <"$program/data-directory.txt")"
lnk() { strings -e l "$1" | tr '\n' ' '; }
says "the logon start runs the tray launcher without the browser" "yes" \
  "$(lnk "$menu/StartUp/Tollwick Player.lnk" | grep -q 'tollwick-tray.exe.*--no-popup\|--no-popup.*tollwick-tray.exe' && echo yes)"
says "the Start-menu entry runs the tray launcher" "yes" \
  "$(lnk "$menu/Tollwick Player/Tollwick Player.lnk" | grep -q 'tollwick-tray.exe' && echo yes)"

# The user's data moved, every file byte for byte; the old directory renamed, not deleted.
says "the moved data" "same" "$(diff -r -x log "$before" "$shared" >/dev/null && echo same)"
says "the old directory, renamed" "same" "$(diff -r "$before" "$own.moved-to-ProgramData" >/dev/null && echo same)"
gone "the old directory under its old name" "$own"

# The program started afterwards keeps its data in ProgramData.
port=$((20000 + RANDOM % 20000))
"$here/scripts/wine-run" "$program/tollwick-player.exe" --port "$port" >"$scratch/server.log" 2>&1 &
for _ in $(seq 150); do
  curl -s -o /dev/null "http://127.0.0.1:$port/whoami" && break
  sleep 0.2
done
curl -s -o /dev/null -X POST --data '"secret"' "http://127.0.0.1:$port/auth/chpasswd"
for _ in $(seq 50); do
  [[ -f "$shared/_shadow.json" ]] && break
  sleep 0.2
done
check "the password set through the program, in ProgramData" "$shared/_shadow.json"
"$wineserver" -k 2>/dev/null || true
"$wineserver" -w 2>/dev/null || true

# The uninstaller hands over to a copy of itself and returns; the prefix is this test's alone, so
# waiting for Wine to end waits for that copy.
"$here/scripts/wine-run" "$program/uninstall.exe" /S
"$wineserver" -w
gone "the program after uninstalling" "$program/tollwick-player.exe"
gone "the tray launcher after uninstalling" "$program/tollwick-tray.exe"
gone "the resources after uninstalling" "$program/assets"
gone "the Start-menu folder after uninstalling" "$menu/Tollwick Player"
gone "the start at logon after uninstalling" "$menu/StartUp/Tollwick Player.lnk"
check "the PC's data after uninstalling" "$shared/_shadow.json"

# For the current user alone: the user's own data directory and the user's own entries.
"$here/scripts/wine-run" "$scratch/setup.exe" /S /CurrentUser
"$wineserver" -w
says "the data-directory choice for one user" "AppData" "$(tr -d '\r\n' <"$program/data-directory.txt")"
# Wine names the folder "Startup" or "StartUp".
user_startup=$(find "$drive/users/$(id -un)" -ipath '*/start menu/programs/startup/tollwick player.lnk' | head -n 1)
user_startup=${user_startup:-$drive/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Startup/Tollwick Player.lnk}
check "the user's start at logon" "$user_startup"
check "the user's log folder" "$own/log"
"$here/scripts/wine-run" "$program/uninstall.exe" /S
"$wineserver" -w
gone "the user's start at logon after uninstalling" "$user_startup"
gone "the program after the second uninstall" "$program/tollwick-player.exe"

echo "$passed passed, $failures failed"
((failures == 0))
