#!/usr/bin/env bash
# Installs the build into a scratch prefix and asks the installed program for its usage, whose
# title must show the version written at install time into the release layout.
# Usage: installed_program_test.sh <cmake> <build dir> <expected version>
set -euo pipefail

cmake=$1
build=$2
version=$3

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tollwick-install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

"$cmake" --install "$build" --prefix "$scratch/prefix" >"$scratch/install.log" 2>&1 || {
  cat "$scratch/install.log"
  exit 1
}

# Run from outside any repository, with its own user data and home, so nothing of the
# development setting can leak into what the installed program reports.
cd "$scratch"
status=0
output=$(HOME="$scratch/home" TOLLWICK_DATA_DIR="$scratch/data" "$scratch/prefix/bin/tollwick-player" --help 2>&1) || status=$?
printf '%s\n' "$output"

if ((status != 0)); then
  echo "installed program exited with status $status"
  exit 1
fi
if [[ "$output" != *"Tollwick Player v$version"* ]]; then
  echo "expected the title 'Tollwick Player v$version'"
  exit 1
fi
for file in assets/alarm.mp3 assets/version.info; do
  if [[ ! -f "$scratch/prefix/share/tollwick-player/$file" ]]; then
    echo "the release layout lacks $file"
    exit 1
  fi
done
