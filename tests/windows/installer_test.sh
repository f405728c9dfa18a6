#!/usr/bin/env bash
# The installer under Wine: a silent install puts the program, its resources, the Start-menu entries
# and the logon start where the installer says; a silent uninstall removes them and keeps the user
# data. Runs in a Wine prefix of its own, so no other test sees the installed program.
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
"$here/scripts/wine-run" "$scratch/setup.exe" /S
"$wineserver" -w

drive="$WINEPREFIX/drive_c"
program="$drive/Program Files/Tollwick Player"
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs"
check "the program under Program Files" "$program/tollwick-player.exe"
check "the built-in signals" "$program/assets/s-bigben.mp3"
check "the browser interface" "$program/web-ui/dist/index.html"
check "the uninstaller" "$program/uninstall.exe"
check "the Start-menu entry" "$menu/Tollwick Player/Tollwick Player.lnk"
check "the dashboard link" "$menu/Tollwick Player/Tollwick Player dashboard.url"
check "the start at logon" "$menu/StartUp/Tollwick Player.lnk"
if [[ "$(tr -d '\r\n' <"$program/assets/version.info")" == "$version" ]]; then
  echo "ok: version.info says $version"
  passed=$((passed + 1))
else
  echo "WRONG: version.info says $(cat "$program/assets/version.info")"
  failures=$((failures + 1))
fi
if strings -e l "$menu/StartUp/Tollwick Player.lnk" | grep -q -- '--no-popup'; then
  echo "ok: the logon start leaves the browser closed"
  passed=$((passed + 1))
else
  echo "WRONG: the logon start lacks --no-popup"
  failures=$((failures + 1))
fi

# A user's data, as the program would have written it.
data="$drive/users/$(id -un)/AppData/Roaming/TollwickPlayer"
mkdir -p "$data"
echo '{}' >"$data/_db.json"
# The uninstaller hands over to a copy of itself and returns; the prefix is this test's alone, so
# waiting for Wine to end waits for that copy.
"$here/scripts/wine-run" "$program/uninstall.exe" /S
"$wineserver" -w
gone "the program after uninstalling" "$program/tollwick-player.exe"
gone "the resources after uninstalling" "$program/assets"
gone "the Start-menu folder after uninstalling" "$menu/Tollwick Player"
gone "the start at logon after uninstalling" "$menu/StartUp/Tollwick Player.lnk"
check "the user data after uninstalling" "$data/_db.json"

echo "$passed passed, $failures failed"
((failures == 0))
