#!/usr/bin/env bash
# The 32-bit route's scripts when a test runs too long or is interrupted, with stand-ins
# for qemu and Wine (no emulation): a command whose host side CTest killed still ends in
# the guest, after its output was shown, and leaves no job folder; an interrupt while
# the guest boots leaves no emulator running.
#
#   guest_signals.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
clone=$work/clone
state=$clone/build/guest32
fail() { echo "FAIL: $*" >&2; exit 1; }
cleanup() {
  local pid
  for pid in $(cat "$state/qemu.pid" "$work"/*.pid 2>/dev/null); do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# A clone of the scripts alone; its root holds a kernel and nothing else.
mkdir -p "$clone/scripts" "$work/bin" "$work/root/boot"
cp "$source_dir"/scripts/{guest32,in32,wine-run} "$clone/scripts/"
touch "$work/root/boot/vmlinuz-0" "$work/root/boot/initrd.img-0"
printf '#!/bin/sh\n[ "$1" != --path ] || echo %s/root\n' "$work" >"$clone/scripts/root32"
# Like qemu, it returns once its daemon has written the pid file. The daemon runs the
# guest's command loop here, or with STANDIN_BOOT=hang never comes up.
cat >"$work/bin/qemu-system-x86_64" <<'EOF'
#!/usr/bin/env bash
args=("$@")
while [ $# -gt 0 ]; do
  case "$1" in
    -pidfile) pidfile=$2 ;;
    -append) for word in $2; do case "$word" in svcsheet.*=*) word=${word#svcsheet.}; declare "${word%%=*}=${word#*=}" ;; esac; done ;;
  esac
  shift
done
if [ "${args[0]}" != --daemon ]; then
  rm -f "$pidfile"
  setsid "$0" --daemon "${args[@]}" </dev/null >/dev/null 2>&1 &
  until [ -s "$pidfile" ]; do sleep 0.05; done
  exit 0
fi
echo $$ >"$pidfile"
if [ "${STANDIN_BOOT:-}" = hang ]; then
  sleep 300 &
else
  echo "$token" >"$spool/up"
  "$clone/scripts/guest32" serve &
fi
trap 'kill $!; exit 143' TERM
wait
EOF
# Wine's stand-in runs the program itself.
printf '#!/bin/sh\ncase "$1" in wineboot | reg) exit 0 ;; esac\nexec "$@"\n' >"$work/bin/wine"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/wineserver"
printf '#!/bin/sh\necho "hung: started"\necho $$ >%s/hung.pid\nexec sleep 300\n' "$work" >"$work/hung"
chmod +x "$clone/scripts/root32" "$work"/bin/* "$work/hung"
export PATH=$work/bin:$PATH SVCSHEET_ROUTE32=guest SVCSHEET_WINE_LOADER=$work/bin/wine
unset SVCSHEET_TEST_TIMEOUT STANDIN_BOOT

gone_within() { # SECONDS TEST...: true once the test holds
  local tries=$(($1 * 10))
  shift
  until "$@"; do
    tries=$((tries - 1))
    [ $tries -gt 0 ] || return 1
    sleep 0.1
  done
}
not_running() { ! kill -0 "$(cat "$1" 2>/dev/null)" 2>/dev/null; }
no_jobs() { ! compgen -G "$state/spool/job.*" >/dev/null; }

echo "a command past its limit, its host side killed as CTest kills a timed-out test"
"$clone/scripts/guest32" start >/dev/null
status=0
SVCSHEET_TEST_TIMEOUT=4 timeout --foreground -s KILL 3 "$clone/scripts/in32" "$clone/scripts/wine-run" \
  --capture "$work/hung" >"$work/out" 2>&1 || status=$?
[ $status -ne 0 ] || fail "in32 was not killed"
grep -q "hung: started" "$work/out" || fail "the killed command's output was not shown: $(cat "$work/out")"
gone_within 10 not_running "$work/hung.pid" || fail "the command still runs in the guest past its limit"
gone_within 5 no_jobs || fail "its job folder was left in the spool: $(ls "$state/spool")"
"$clone/scripts/guest32" stop

echo "an interrupt while the guest boots"
set -m # a job of its own, as a command at a terminal: Ctrl-C reaches its whole group
STANDIN_BOOT=hang "$clone/scripts/guest32" start >/dev/null 2>&1 &
starter=$!
set +m
gone_within 10 test -s "$state/qemu.pid" || fail "the stand-in did not start"
cp "$state/qemu.pid" "$work/booting.pid"
kill -INT -- "-$starter"
wait "$starter" || true
gone_within 10 not_running "$work/booting.pid" || fail "qemu still runs after the interrupt"
echo "PASS"
