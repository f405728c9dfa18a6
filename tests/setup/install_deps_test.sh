#!/usr/bin/env bash
# scripts/install-deps on machines it cannot set up: each case runs a copy of the script with
# stand-ins for dpkg, apt-get, sudo, id, node and npm on PATH, and checks its exit status and the
# sentence it ends with. Usage: install_deps_test.sh SOURCE_DIR
set -uo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# One case: "name|os-release ID|VERSION_ID|arch|uid|sudo|apt|node|npm|status|expected text[|options]".
#   arch: dpkg's answer; uid: what id -u says; sudo: none, ok or denied; apt: ok, offline or
#   broken; node: its version; npm: ok or offline; an empty expected text means no output at all.
run_case() {
  IFS='|' read -r name os_id os_version arch uid sudo apt node npm want_status want_text options <<<"$1"
  local dir=$work/$name bin=$work/$name/bin
  mkdir -p "$dir/scripts" "$dir/web-ui" "$bin"
  cp "$source_dir/scripts/install-deps" "$dir/scripts/"
  echo '{}' >"$dir/web-ui/package-lock.json"
  touch -d 2000-01-01 "$dir/web-ui/package-lock.json"
  printf 'ID=%s\nVERSION_ID=%s\nPRETTY_NAME="%s %s"\n' "$os_id" "$os_version" "$os_id" "$os_version" >"$dir/os-release"
  # Every package is missing until apt-get has "installed" it.
  printf '#!/bin/sh\n[ -e %q ] && printf ii || exit 1\n' "$dir/installed" >"$bin/dpkg-query"
  printf '#!/bin/sh\necho %s\n' "$arch" >"$bin/dpkg"
  printf '#!/bin/sh\necho %s\n' "$uid" >"$bin/id"
  case $sudo in
    ok) printf '#!/bin/sh\n[ "$1" = -v ] && exit 0\nexec "$@"\n' >"$bin/sudo" ;;
    denied) printf '#!/bin/sh\necho "Sorry, user may not run sudo." >&2\nexit 1\n' >"$bin/sudo" ;;
  esac
  case $apt in
    ok) printf '#!/bin/sh\n[ "$1" = install ] && touch %q\nexit 0\n' "$dir/installed" >"$bin/apt-get" ;;
    offline) printf '#!/bin/sh\n[ "$1" = update ] && exit 0\necho "E: Failed to fetch http://deb.debian.org/x  Temporary failure resolving deb.debian.org" >&2\nexit 100\n' >"$bin/apt-get" ;;
    broken) printf '#!/bin/sh\n[ "$1" = update ] && exit 0\necho "E: Unable to correct problems, you have held broken packages." >&2\nexit 100\n' >"$bin/apt-get" ;;
  esac
  printf '#!/bin/sh\necho %s\n' "$node" >"$bin/node"
  case $npm in
    ok) printf '#!/bin/sh\nmkdir -p node_modules && touch node_modules/.package-lock.json\n' >"$bin/npm" ;;
    offline) printf '#!/bin/sh\necho "npm ERR! code ENOTFOUND" >&2\nexit 1\n' >"$bin/npm" ;;
  esac
  chmod +x "$bin"/*
  # The stand-ins and the shell's own basics only: no real sudo, apt-get or npm can be reached.
  local basics=$work/basics
  if [[ ! -d $basics ]]; then
    mkdir -p "$basics"
    for tool in bash cat cp grep mkdir mktemp rm tail touch uname dirname; do ln -s "$(command -v $tool)" "$basics/$tool"; done
  fi
  local output status
  output=$(cd "$dir" && PATH="$bin:$basics" TOLLWICK_OS_RELEASE="$dir/os-release" bash scripts/install-deps $options 2>&1)
  status=$?
  local last=${output##*$'\n'}
  if [[ $status != "$want_status" ]] || { [[ -z $want_text ]] && [[ -n $output ]]; } || [[ $last != *"$want_text"* ]]; then
    echo "FAIL $name: status $status (want $want_status), output:"
    sed 's/^/    /' <<<"$output"
    echo "    wanted the last line to contain: ${want_text:-<no output>}"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

run_case "fresh-root|debian|12|amd64|0|none|ok|18.20.4|ok|0|installing the browser interface's npm packages"
run_case "fresh-user-with-sudo|debian|13|amd64|1000|ok|ok|20.19.0|ok|0|installing the browser interface's npm packages"
run_case "ubuntu|ubuntu|22.04|amd64|0|none|ok|18.20.4|ok|1|needs Debian 12 or newer, and this system is ubuntu 22.04"
run_case "debian-11|debian|11|amd64|0|none|ok|18.20.4|ok|1|needs Debian 12 or newer"
run_case "arm64-board|debian|12|arm64|0|none|ok|18.20.4|ok|0|installing the browser interface's npm packages"
run_case "armhf|raspbian|12|armhf|0|none|ok|18.20.4|ok|1|needs an amd64 (x86-64) or arm64 (64-bit ARM) machine, and this one is armhf"
run_case "cross-on-board|debian|12|arm64|0|none|ok|18.20.4|ok|1|the arm64 cross-build is made on an amd64 machine|--arm64"
run_case "cross-on-pc|debian|12|amd64|0|none|ok|18.20.4|ok|0|installing the browser interface's npm packages|--arm64"
run_case "no-sudo|debian|12|amd64|1000|none|ok|18.20.4|ok|1|sudo is not installed: run this as root once."
run_case "sudo-denied|debian|12|amd64|1000|denied|ok|18.20.4|ok|1|needs sudo rights, which this account lacks"
run_case "apt-offline|debian|12|amd64|0|none|offline|18.20.4|ok|1|the network or the package mirror cannot be reached."
run_case "apt-broken|debian|12|amd64|0|none|broken|18.20.4|ok|1|apt-get could not install"
run_case "old-node|debian|12|amd64|0|none|ok|16.20.2|ok|1|Node.js 16.20.2 is too old"
run_case "npm-offline|debian|12|amd64|0|none|ok|18.20.4|offline|1|the npm registry cannot be reached."

# A ready machine: nothing to install, nothing printed.
ready=$work/fresh-root
run_case_ready() {
  local output status
  output=$(cd "$ready" && PATH="$ready/bin:$work/basics" TOLLWICK_OS_RELEASE="$ready/os-release" bash scripts/install-deps 2>&1)
  status=$?
  if [[ $status != 0 || -n $output ]]; then
    echo "FAIL ready: status $status, output: $output"
    failures=$((failures + 1))
  else
    echo "ok   ready"
  fi
}
run_case_ready

((failures == 0)) || { echo "$failures case(s) failed"; exit 1; }
