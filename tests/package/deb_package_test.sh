#!/usr/bin/env bash
# Builds the Debian package into a scratch directory and checks what an installation relies on:
# the files and units, dependencies that name the player programs and the shared libraries, the
# conffile, maintainer scripts that parse, units that systemd accepts, and a packaged program that
# finds its resources.
# Usage: deb_package_test.sh <build dir> <expected version> <architecture> [<emulator>]
#   The emulator (qemu-aarch64-static for the arm64 cross-build) runs the packaged program.
set -euo pipefail

build=$1
version=$2
architecture=$3
emulator=${4:-}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tollwick-package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}
declare -A elf_machine=([amd64]=x86-64 [arm64]=aarch64)

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1 || {
  cat "$scratch/cpack.log"
  fail "cpack could not build the package"
}
deb=$(ls "$scratch"/out/tollwick-player_"$version"_"$architecture".deb) || fail "no tollwick-player_${version}_$architecture.deb"

[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "package version is not $version"
[[ $(dpkg-deb -f "$deb" Architecture) == "$architecture" ]] || fail "package architecture is not $architecture"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in mpg123 alsa-utils systemd libsndfile1 libmpg123-0 libcpp-httplib libssl3 libzip4 libstdc++6; do
  [[ ", $depends" == *", $needed"* ]] || fail "Depends lacks $needed"
done

contents=$(dpkg-deb -c "$deb")
for file in usr/bin/tollwick-player usr/share/tollwick-player/assets/version.info \
  usr/share/tollwick-player/assets/alarm.mp3 usr/share/tollwick-player/web-ui/dist/index.html \
  usr/lib/systemd/system/tollwick-player.service usr/lib/systemd/user/tollwick-player.service \
  usr/lib/sysusers.d/tollwick-player.conf etc/default/tollwick-player usr/share/applications/tollwick-player.desktop \
  usr/share/doc/tollwick-player/monitoring/grafana-dashboard.json; do
  grep -q " \./$file\$" <<<"$contents" || fail "the package lacks /$file"
done

dpkg-deb -e "$deb" "$scratch/control"
[[ $(cat "$scratch/control/conffiles") == "/etc/default/tollwick-player" ]] || fail "conffiles is not /etc/default/tollwick-player"
for script in postinst prerm postrm; do
  [[ -x "$scratch/control/$script" ]] || fail "$script is not executable"
  sh -n "$scratch/control/$script" || fail "$script does not parse"
done

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
[[ $(file -b "$root/usr/bin/tollwick-player") == *"${elf_machine[$architecture]}"* ]] ||
  fail "the packaged program is not built for $architecture: $(file -b "$root/usr/bin/tollwick-player")"
[[ $(cat "$root/usr/share/tollwick-player/assets/version.info") == "$version" ]] || fail "version.info is not $version"
title=$(cd "$scratch" && HOME="$scratch" TOLLWICK_DATA_DIR="$scratch/data" $emulator "$root/usr/bin/tollwick-player" --help 2>&1) ||
  fail "the packaged program does not run: $title"
[[ "$title" == *"Tollwick Player v$version"* ]] || fail "the packaged program does not find its version: $title"

# systemd checks a unit's programs where it says they are: the copies checked here name the
# unpacked program instead.
for unit in system user; do
  mkdir -p "$scratch/$unit"
  sed "s|/usr/bin/tollwick-player|$root/usr/bin/tollwick-player|" "$root/usr/lib/systemd/$unit/tollwick-player.service" \
    >"$scratch/$unit/tollwick-player.service"
  out=$(XDG_RUNTIME_DIR="$scratch" systemd-analyze verify --"$unit" "$scratch/$unit/tollwick-player.service" 2>&1) ||
    fail "systemd rejects the $unit unit: $out"
  [[ -z "$out" ]] || fail "systemd warns about the $unit unit: $out"
done
echo "package $(basename "$deb") checked"
