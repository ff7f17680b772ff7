#!/usr/bin/env bash
# The Ansible role against simulated servers: each a private Wine prefix
# where the real brxstub.exe installs packages built here, reached through
# the stand-ins for ansible.windows in this folder (never the role's).
#   run_fleet.sh SCENARIOS WORK BRXPACK STUB SETUP DESKHOLD HELPER [RUNNER]
# SCENARIOS, each on hosts of its own, so that ctest runs them side by side:
#   rollout   (h1-h4) a first rollout installs everywhere; a second changes
#             nothing; a newer version installs, restarts only the host that
#             may restart, and shows no secret; a failure in a batch of two
#             stops the rollout;
#   refusals  (h3, h4) a planted staging folder and a pending restart fail
#             their hosts;
#   window    (h1, h2) with the bundle runner, a maintenance-window bundle
#             completes where restarts are allowed.
set -euo pipefail
scenarios=$1
shift
work=$(realpath -m "$1") brxpack=$(realpath -m "$2") stub=$(realpath -m "$3") setup=$(realpath -m "$4")
deskhold=$(realpath -m "$5") helper=$(realpath -m "$6") runner=${7:+$(realpath -m "$7")}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
bench=$root/tests/wine/bench.sh
[ -x "$brxpack" ] || { echo "fleet: no native brxpack at $brxpack (build the native tree)" >&2; exit 1; }
case $scenarios in
  rollout) hosts=(h1 h2 h3 h4) ;;
  refusals) hosts=(h3 h4) ;;
  window) hosts=(h1 h2); [ -n "$runner" ] || { echo "fleet: the window needs the bundle runner" >&2; exit 1; } ;;
  *) echo "fleet: unknown scenarios $scenarios" >&2; exit 2 ;;
esac
rm -rf "$work"
mkdir -p "$work/logs"
cd "$work"

stop_all() { for h in "${hosts[@]}"; do "$bench" stop "$work/$h" >/dev/null 2>&1 || true; done; }
trap stop_all EXIT
# One wineboot: every host starts from a copy of the same prepared prefix.
"$bench" prepare "$work/template" >template.bench 2>&1 || { cat template.bench; exit 1; }
export BRX_BENCH_PREFIX=$work/template/prefix
pids=()
for h in "${hosts[@]}"; do "$bench" start "$work/$h" "$deskhold" >"$h.bench" 2>&1 & pids+=($!); done
for i in "${!pids[@]}"; do wait "${pids[$i]}" || { cat "${hosts[$i]}.bench"; exit 1; }; done

# Each host's modules run through its own Python, which names its prefix.
for h in "${hosts[@]}"; do
  cat >"$h/python" <<PY
#!/bin/sh
export BRX_FLEET_STATE='$work/$h' BRX_FLEET_HELPER='$helper' BRX_FLEET_WINE_RUN='$root/tests/wine/wine-run.sh'
exec /usr/bin/python3 "\$@"
PY
  chmod +x "$h/python"
done

# The sample component at three versions; its setup program exits with the
# code given as /exitcode:N, else 1.
comp=$root/sample/component
for v in 1.2.3.4 1.3.0.0 1.4.0.0; do
  sed "s/1\.2\.3\.4/$v/" "$comp/brxsample.xml" >"brxsample-$v.xml"
  mkdir -p "pkg-$v"
  "$brxpack" build --stub "$stub" -o "pkg-$v/brxsample.exe" "brxsample.xml=brxsample-$v.xml" \
    "zt_data.xml=$comp/zt_data.xml" "sample.cfg=$comp/sample.cfg" "setup.exe=$setup" >/dev/null
done

cat >ansible.cfg <<CFG
[defaults]
collections_path = $here/collections
collections_scan_sys_path = False
library = $here/library
module_utils = $here/module_utils
action_plugins = $here/action_plugins
roles_path = $root/deploy/ansible/roles
forks = 4
retry_files_enabled = False
[connection]
pipelining = True
nocolor = True
CFG
export ANSIBLE_CONFIG=$work/ansible.cfg

# inventory HOST-VARS...: "h2 brx_arguments='[\"/exitcode:0\"]'" and the like.
inventory() {
  { echo "[brx_servers]"
    for h in "${hosts[@]}"; do
      extra=""
      for spec in "$@"; do [ "${spec%% *}" = "$h" ] && extra="${spec#* }"; done
      echo "$h brx_fleet_state=$work/$h ansible_python_interpreter=$work/$h/python $extra"
    done
    echo "[brx_servers:vars]"
    echo "ansible_connection=local"
  } >inventory.ini
}

run=0
# rollout NAME VERSION SERIAL EXPECTED-EXIT: the playbook's output lands in NAME.out.
rollout() {
  local name=$1 version=$2 serial=$3 expected=$4 code=0
  shift 4
  local started=$SECONDS
  ansible-playbook -i inventory.ini "$root/deploy/ansible/site.yml" \
    -e "brx_package_file=$work/pkg-$version/brxsample.exe" -e "brx_pack_command=$brxpack" \
    -e "brx_log_dest=$work/logs" -e "brx_summary_file=$work/logs/summary.jsonl" -e brx_install_poll=1 \
    -e "{\"brx_serial\": $serial}" "$@" >"$name.out" 2>&1 || code=$?
  echo "fleet: $name: exit $code in $((SECONDS - started)) s"
  cp logs/summary.jsonl "$name.summary.jsonl"
  if [ "$code" != "$expected" ]; then
    cat "$name.out"
    echo "fleet: $name: ansible-playbook exited with $code, expected $expected" >&2
    exit 1
  fi
}
check() { python3 "$here/check_summary.py" logs/summary.jsonl "$@" || { cat "$run_name.out"; exit 1; }; }
count() { [ -f "$1" ] && wc -l <"$1" || echo 0; }

case $scenarios in
rollout)
# 1. A first rollout, one host and then three: installed everywhere.
inventory
run_name=first; rollout first 1.2.3.4 '[1, 3]' 0
check h1=installed:version_after=1.2.3.4:completion_code=1:record_missing=False h2=installed h3=installed \
  h4=installed:version_before=
installs=$(cat h*/installs | wc -l)

# 2. The same again, all hosts in one batch: every host holds that version, nothing runs.
run_name=again; rollout again 1.2.3.4 '[4]' 0
check h1=current:exit_code=None h2=current h3=current h4=current:version_before=1.2.3.4
[ "$(cat h*/installs | wc -l)" = "$installs" ] || { echo "fleet: the second rollout ran the package" >&2; exit 1; }

# 3. A newer version with a secret argument; h3 and h4 are told to report a
# needed restart, and only h4 may restart.
inventory "h3 brx_arguments='[\"/exitcode:2\"]'" "h4 brx_arguments='[\"/exitcode:2\"]' brx_reboot_allowed=true"
secret='Fleet-S3cret-4711'
printf 'brx_secret_arguments:\n  - "/password:%s"\n' "$secret" >secrets.yml
run_name=newer; rollout newer 1.3.0.0 '[4]' 0 -e @secrets.yml
check h1=installed:version_before=1.2.3.4:version_after=1.3.0.0 h2=installed \
  h3=installed_restart_needed:completion_code=2:rebooted=False h4=installed_restarted:rebooted=True
[ "$(count h4/reboots)" = 1 ] && [ "$(count h3/reboots)" = 0 ] && [ "$(count h1/reboots)" = 0 ] ||
  { echo "fleet: restarts recorded: h3 $(count h3/reboots), h4 $(count h4/reboots)" >&2; exit 1; }
if grep -l "$secret" newer.out logs/summary.jsonl; then echo "fleet: the secret argument was shown" >&2; exit 1; fi

# 4. The next version fails on h2 in a batch of two: the rollout stops there.
inventory "h2 brx_arguments='[\"/exitcode:0\"]'"
run_name=failing; rollout failing 1.4.0.0 '[2]' 2
check h1=installed:version_after=1.4.0.0 h2=failed:completion_code=0:version_after=1.3.0.0:record_missing=False
;;
refusals)
# h3's staging folder is a link an ordinary user planted, h4 waits for a
# restart it may not make: both fail.
staging=$(dirname "$(BRX_FLEET_STATE=$work/h3 python3 -c "
import sys; sys.path.insert(0, '$here/module_utils'); import fleet_host
print(fleet_host.unix_path(r'C:\\Windows\\Temp\\x'))")")/brxdeploy
rm -rf "$staging"
ln -s "$work/h3/prefix/drive_c/users" "$staging"
BRX_FLEET_STATE=$work/h4 BRX_FLEET_HELPER=$helper BRX_FLEET_WINE_RUN=$root/tests/wine/wine-run.sh python3 -c "
import sys; sys.path.insert(0, '$here/module_utils'); import fleet_host
print(fleet_host.ask('reg-add', r'HKLM:\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update\\RebootRequired'))" >/dev/null
inventory
run_name=hostile; rollout hostile 1.4.0.0 '[2]' 2 --limit h3,h4
check h3=staging_refused:version_after= h4=restart_pending
[ "$(count h4/reboots)" = 0 ] || { echo "fleet: h4 restarted without leave" >&2; exit 1; }
;;
window)
# A maintenance window of three members whose second asks for a restart
# before the third: h1 may restart and completes the window in two runs, h2
# may not and keeps the third member for later.
for m in a b c; do
  code=1; [ $m = b ] && code=2
  sed -e "s/BRX_SAMPLE_COMPONENT/BRX_FLEET_${m^^}/" -e "s/brxsample\.exe/fleet_$m.exe/" \
    -e "s/software:sample/software:fleet_$m/" -e "s#/component sample#/exitcode:$code#" "$comp/brxsample.xml" >"fleet_$m.xml"
  "$brxpack" build --stub "$stub" -o "fleet_$m.exe" "fleet_$m.xml=fleet_$m.xml" "zt_data.xml=$comp/zt_data.xml" \
    "sample.cfg=$comp/sample.cfg" "setup.exe=$setup" >/dev/null
done
"$brxpack" bundle -o window.exe --name "Fleet window" --version 1.0 --stub "$stub" --runner "$runner" \
  fleet_a.exe fleet_b.exe:restart-first fleet_c.exe
inventory "h1 brx_reboot_allowed=true"
run_name=window; rollout window 1.4.0.0 '[2]' 0 -e "brx_bundle_file=$work/window.exe" --limit h1,h2
check "h1=installed_restarted:rounds=2:rebooted=True:exit_codes=[2, 1]" \
  h2=installed_restart_needed:rounds=1:rebooted=False
python3 - logs/summary.jsonl <<'PY' || { cat window.out; exit 1; }
import json, sys
want = {'h1': ['skipped', 'skipped', 'installed'], 'h2': ['installed', 'installed_restart_needed', 'not_run']}
for line in open(sys.argv[1]):
  r = json.loads(line)
  got = [m['outcome'] for m in r['members']]
  if got != want[r['host']] or [m['file'] for m in r['members']] != ['fleet_a.exe', 'fleet_b.exe', 'fleet_c.exe']:
      sys.exit('fleet: %s members %r, expected %r' % (r['host'], r['members'], want[r['host']]))
PY
[ "$(count h1/reboots)" = 1 ] && [ "$(count h2/reboots)" = 0 ] ||
  { echo "fleet: window restarts: h1 $(count h1/reboots), h2 $(count h2/reboots)" >&2; exit 1; }
;;
esac
echo "fleet: $scenarios passed"
