#!/usr/bin/env bash
# The Wine test bench: prepares a private prefix for one test run and tears it down again.
#   bench.sh start STATE_DIR [DESKHOLD.exe]
#                              Xvfb display, fresh prefix, persistent wineserver, winmgmt
#                              running, and (given the program) the virtual desktop held open
#   bench.sh stop STATE_DIR    stops everything start started
#   bench.sh prepare STATE_DIR a fresh prefix, made once, nothing left running: with
#                              BRX_BENCH_PREFIX=STATE_DIR/prefix, start copies it instead
#                              of making its own (several benches, one wineboot)
set -u
cmd=$1 state=$2 deskhold=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$state"
state=$(cd "$state" && pwd)  # Wine and the Z: paths below need it absolute

stop() {
  if [ -d "$state/prefix" ]; then
    ( source "$here/wine-env.sh" "$state"; /usr/lib/wine/wineserver -k 2>/dev/null; /usr/lib/wine/wineserver -w 2>/dev/null ) || true
  fi
  if [ -f "$state/xvfb.pid" ]; then
    kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
    rm -f "$state/xvfb.pid"
  fi
  rm -f "$state/display"
}

start_xvfb() {
  # A display of our own: without one MessageBoxW returns at once instead of showing.
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    # -noreset: a moment without X clients must not wipe the server's windows.
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    local pid=$!
    echo $pid >"$state/xvfb.pid"
    for _ in $(seq 1 50); do
      # Another bench may have taken the same number a moment earlier: then its
      # socket appears and our server has died on the lock; try the next one.
      kill -0 $pid 2>/dev/null || break
      [ -e "/tmp/.X11-unix/X$n" ] && { echo ":$n" >"$state/display"; return 0; }
      sleep 0.1
    done
    kill $pid 2>/dev/null
    rm -f "$state/xvfb.pid"
  done
  echo "bench: no display could be started" >&2
  return 1
}

# A new prefix: wineboot, and the registry set for a virtual desktop; on
# return the prefix's server has ended, so everything is on disk.
make_prefix() {
  rm -rf "$WINEPREFIX"
  wine=/usr/lib/wine/wine64 server=/usr/lib/wine/wineserver
  { $wine wineboot -i && $server -w; } 3>&- || fail "wineboot failed"
  # A virtual desktop: dialogs close at once instead of waiting on a window manager.
  { $wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f &&
    $wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f &&
    $server -w; } 3>&- || fail "registry set-up failed"
}

case "$cmd" in
  stop) stop; exit 0 ;;
  prepare)
    stop
    exec 3>&1 >"$state/bench.log" 2>&1 </dev/null
    fail() { cat "$state/bench.log" >&3; echo "bench: $*" >&3; stop; exit 1; }
    start_xvfb 3>&- || fail "no display"
    source "$here/wine-env.sh" "$state"
    make_prefix
    stop
    echo "bench: prefix $WINEPREFIX prepared" >&3
    ;;
  start)
    stop
    # Everything the bench starts outlives this script; none of it may hold
    # ctest's output pipe (fd 3 here), or ctest waits for it until the time-out.
    exec 3>&1 >"$state/bench.log" 2>&1 </dev/null
    fail() { cat "$state/bench.log" >&3; echo "bench: $*" >&3; stop; exit 1; }
    start_xvfb 3>&- || fail "no display"
    source "$here/wine-env.sh" "$state"
    wine=/usr/lib/wine/wine64 server=/usr/lib/wine/wineserver
    if [ -n "${BRX_BENCH_PREFIX:-}" ]; then
      # A copy of a prepared prefix: its paths inside are relative (dosdevices).
      rm -rf "$WINEPREFIX"
      cp -a "$BRX_BENCH_PREFIX" "$WINEPREFIX" || fail "cannot copy the prefix $BRX_BENCH_PREFIX"
    else
      make_prefix
    fi
    # A persistent server: each later process starts in ~0.06 s instead of ~3 s.
    $server -p 3>&-
    # winmgmt is stopped in a new prefix; the service checks look at the service
    # itself, so a bench without it would fail every install. On a loaded
    # machine Wine now and then fails to start sc itself: asked again.
    for _ in 1 2 3 4 5; do
      $wine sc start winmgmt 3>&- || true
      $wine sc query winmgmt 3>&- | grep -q RUNNING && break
      sleep 1
    done
    $wine sc query winmgmt 3>&- | grep -q RUNNING || fail "winmgmt does not run"
    # Wine closes the virtual desktop a second after its last user process, and a
    # program started in that second dies with an X error; tests start programs
    # back to back, so one process holds the desktop for the bench's life.
    if [ -n "$deskhold" ] && [ ! -f "$deskhold" ]; then
      echo "bench: warning: $deskhold not built; the desktop may close between programs" >&3
    elif [ -n "$deskhold" ]; then
      ready="$state/deskhold.ready"
      rm -f "$ready"
      $wine "$deskhold" "Z:${ready//\//\\}" 3>&- &
      for _ in $(seq 1 100); do [ -e "$ready" ] && break; sleep 0.1; done
      [ -e "$ready" ] || fail "deskhold did not start"
    fi
    if [ -x "$here/bench-extra.sh" ]; then "$here/bench-extra.sh" "$state" 3>&- || fail "bench-extra failed"; fi
    # Started by ctest: if that run is killed before its cleanup fixture, take
    # the bench down with it. The Xvfb pid identifies this bench, so a watchdog
    # of an earlier run never stops a later bench in the same state directory.
    if [ "$(ps -o comm= -p "$PPID" 2>/dev/null)" = ctest ]; then
      owner=$PPID token=$(cat "$state/xvfb.pid")
      ( while kill -0 "$owner" 2>/dev/null && [ "$(cat "$state/xvfb.pid" 2>/dev/null)" = "$token" ]; do
          sleep 5
        done
        [ "$(cat "$state/xvfb.pid" 2>/dev/null)" = "$token" ] && "$here/bench.sh" stop "$state"
      ) 3>&- >/dev/null 2>&1 </dev/null &
    fi
    echo "bench: prefix $WINEPREFIX on $DISPLAY ready" >&3
    ;;
  *) echo "usage: bench.sh start|stop|prepare STATE_DIR" >&2; exit 2 ;;
esac
