# Sourced by the checks on a real X11 display. They call cleanup on exit, which ends
# what they started (pids) and removes their scratch folder (work).
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
# wait_until SECONDS CMD...: polls CMD until it succeeds. A first start on a busy machine
# (font caches, both cores taken) is slow, and a real failure still fails.
wait_until() {
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$end" ] || return 1
        sleep 0.1
    done
}
# A fresh Xvfb on a free display, which DISPLAY then names.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    pids+=($!)
    wait_until 60 test -s "$work/display" || fail "Xvfb did not start within 60 s: $(cat "$work/xvfb.log")"
    export DISPLAY=":$(cat "$work/display")"
}
