# Sourced by the test scripts: what every test run needs around it. Tests start private
# JACK servers of their own and never a default one; window tests need an X server.

export JACK_NO_START_SERVER=1

# JACK's server registry keeps an entry for every server that died without unregistering,
# and refuses new servers once eight are listed. With no jackd alive nothing can be using
# it, so start from a clean one.
if ! pgrep -x -r R,S,D,T jackd >/dev/null 2>&1; then
  rm -f /dev/shm/jack-shm-registry /dev/shm/jack_sem.* 2>/dev/null || true
fi

# The X server in DISPLAY, or an Xvfb of our own for as long as the calling script runs.
xvfb_pid=""
stop_xvfb() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap stop_xvfb EXIT
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      # -noreset: a server that resets when its last client leaves drops the clients
      # connecting at that moment, and window tests come and go many times a second.
      Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
      xvfb_pid=$!
      export DISPLAY=":$n"
      for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
      break
    fi
  done
fi
