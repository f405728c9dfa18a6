#!/usr/bin/env bash
# The life of the Debian package on a school's PC: install, run as the system unit runs the program,
# reinstall, upgrade, remove and purge, checking that the school's data survive all but the last.
#
# Changes the machine it runs on (packages, the user tollwick, /var/lib, /etc): run it as root on a
# throw-away Debian 12 root only. Without systemd as PID 1 the program is started the way the
# unit starts it: as its user, with its environment, working directory and arguments.
# Usage: install_check.sh <package> <package of a higher version>
set -euo pipefail

first=$(realpath "$1")
next=$(realpath "$2")
unit=/usr/lib/systemd/system/tollwick-player.service
data=/var/lib/tollwick-player
port=8233
pid=

step() { echo "== $*"; }
fail() {
  echo "FAIL: $*"
  [[ -f /tmp/tollwick-server.log ]] && cat /tmp/tollwick-server.log
  exit 1
}
# Polls `condition` (a command) up to 20 s.
wait_for() {
  for _ in $(seq 200); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}
answers() { curl -fsS "http://127.0.0.1:$port/whoami" >/dev/null 2>&1; }
has_change() { grep -q '"alarmDelaySec": 7.5' "$data/_db.json" 2>/dev/null; }

# As the unit does: User=, Environment=, EnvironmentFile=, WorkingDirectory=, then ExecStart= with
# $TOLLWICK_ARGS split into words.
start_as_unit() {
  local environment exec_start workdir
  environment=$(sed -n 's/^Environment=//p' "$unit")
  exec_start=$(sed -n 's/^ExecStart=//p' "$unit")
  workdir=$(sed -n 's/^WorkingDirectory=//p' "$unit")
  (
    set -a
    . /etc/default/tollwick-player
    set +a
    cd "$workdir"
    # shellcheck disable=SC2086 # words, as systemd splits them
    exec runuser -u tollwick -- env $environment sh -c "exec $exec_start"
  ) >/tmp/tollwick-server.log 2>&1 &
  pid=$!
  wait_for answers || fail "the program does not answer /whoami on port $port"
}
stop_program() {
  kill -TERM "$pid"
  wait "$pid" || true
  pid=
}

export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq curl procps >/dev/null

step "install $(basename "$first")"
apt-get install -y -qq "$first" >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; fail "apt-get install"; }
dpkg-query -W -f='Package: ${Package} ${Version}\nDepends: ${Depends}\n' tollwick-player
id tollwick | grep -q '(audio)' || fail "tollwick is not in the group audio: $(id tollwick)"
[[ $(stat -c '%U:%G %a' "$data") == "tollwick:tollwick 750" ]] || fail "$data is $(stat -c '%U:%G %a' "$data")"
[[ -L /etc/systemd/system/multi-user.target.wants/tollwick-player.service ]] || fail "the service is not enabled"

step "systemd-analyze verify"
systemd-analyze verify "$unit" || fail "the system unit"
XDG_RUNTIME_DIR=$(mktemp -d) systemd-analyze verify --user /usr/lib/systemd/user/tollwick-player.service ||
  fail "the user unit"
echo "both units verified"

step "run as the unit runs it, options from /etc/default/tollwick-player"
sed -i "s/^TOLLWICK_ARGS=.*/TOLLWICK_ARGS=\"--port $port\"/" /etc/default/tollwick-player
start_as_unit
echo "/whoami: $(curl -fsS "http://127.0.0.1:$port/whoami")"
owner=$(ps -o user= --ppid "$pid" | tr -d ' ')
[[ $owner == tollwick ]] || fail "the program runs as '$owner', not as tollwick"
curl -fsS -X POST -H 'Content-Type: application/json' -d '{"alarmDelaySec": 7.5}' \
  "http://127.0.0.1:$port/db/settings/update" >/dev/null || fail "the settings change"
wait_for has_change || fail "the settings change is not written to $data/_db.json"
stop_program
ls -l "$data"
[[ $(stat -c '%U' "$data/_db.json") == tollwick ]] || fail "_db.json does not belong to tollwick"

step "reinstall the same package"
apt-get install -y -qq --reinstall "$first" >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; fail "reinstall"; }
has_change || fail "the reinstallation lost the change"
grep -q "^TOLLWICK_ARGS=\"--port $port\"" /etc/default/tollwick-player || fail "the reinstallation reset the options"
echo "change and options kept"

step "install $(basename "$next")"
apt-get install -y -qq "$next" >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; fail "upgrade"; }
version=$(dpkg-query -W -f='${Version}' tollwick-player)
[[ $(cat /usr/share/tollwick-player/assets/version.info) == "$version" ]] || fail "version.info is not $version"
has_change || fail "the upgrade lost the change"
grep -q "^TOLLWICK_ARGS=\"--port $port\"" /etc/default/tollwick-player || fail "the upgrade reset the options"
start_as_unit
curl -fsS "http://127.0.0.1:$port/db" | grep -q '"alarmDelaySec": 7.5' || fail "version $version does not read the change"
stop_program
echo "version $version runs with the change"

step "remove keeps the data, purge deletes it"
apt-get remove -y -qq tollwick-player >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; fail "remove"; }
has_change || fail "removing lost the data"
id tollwick >/dev/null || fail "removing deleted the user"
apt-get purge -y -qq tollwick-player >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; fail "purge"; }
[[ ! -e $data ]] || fail "purging kept $data"
! id tollwick >/dev/null 2>&1 || fail "purging kept the user"
[[ ! -e /etc/default/tollwick-player ]] || fail "purging kept /etc/default/tollwick-player"
echo "install check passed"
