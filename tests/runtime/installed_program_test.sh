#!/usr/bin/env bash
# Installs the build into a scratch prefix and runs the installed program, which must find its
# resources through the release layout and show the version written at install time.
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
output=$(HOME="$scratch/home" TOLLWICK_DATA_DIR="$scratch/data" "$scratch/prefix/bin/tollwick-player" 2>&1) || status=$?
printf '%s\n' "$output"

if ((status != 0)); then
  echo "installed program exited with status $status"
  exit 1
fi
if [[ "$output" != *"Tollwick Player v$version"* ]]; then
  echo "expected the title 'Tollwick Player v$version'"
  exit 1
fi
