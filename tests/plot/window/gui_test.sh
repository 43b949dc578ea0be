#!/usr/bin/env bash
# Runs detrend in a real X server (Xvfb) and drives its plot windows:
#   gui_test.sh DETREND CLOSE_WINDOW WORKDIR
# A left click leaves a window open; a right click dismisses it and the next
# series' window appears; the window manager's close request dismisses the
# last one. The window titles name the series; screenshots check the colours
# and the title; the console text and the listing must equal those of a run
# without a display. WORKDIR keeps the screenshots (plot-series-1.png is the
# example shown in the README).
set -euo pipefail
detrend=$1 close_window=$2 work=$3
rm -rf "$work" && mkdir -p "$work/nodisplay" "$work/display"
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }
# Polls `command` every 0.1 s until it succeeds, for at most $1 seconds.
wait_for() {
  local seconds=$1; shift
  local tries=$((seconds * 10))
  until "$@"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}

cat > table.txt <<'TABLE'
Year "Site A" SiteB
1850 0.82 -999
1851 0.91 -999
1852 1.10 -999
1853 1.25 1.45
1854 0.97 1.38
1855 1.03 1.22
1856 0.88 1.31
1857 1.12 1.09
1858 1.30 1.15
1859 0.95 1.02
1860 1.01 0.98
1861 0.89 1.07
TABLE
printf 'table.txt\nlisting.txt\n3\n-999\n5\n' > replies.txt
cp table.txt nodisplay/ && cp table.txt display/

# The reference: the same run without a display.
(cd nodisplay && env -u DISPLAY "$detrend" < ../replies.txt > out.txt 2> err.txt) || fail "run without display failed"

# A private X server; -displayfd picks a free display number.
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5> displayfd.txt 2> xvfb.log &
xvfb=$!
detrend_pid=
cleanup() {
  [ -n "$detrend_pid" ] && kill "$detrend_pid" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
wait_for 20 test -s displayfd.txt || fail "Xvfb did not start: $(cat xvfb.log)"
export DISPLAY=":$(head -n 1 displayfd.txt)"

(cd display && exec "$detrend" < ../replies.txt > out.txt 2> err.txt) &
detrend_pid=$!

plot_window() { xdotool search --onlyvisible --name '^detrend: ' 2>/dev/null | head -n 1; }
# The window title names the series and says how to go on.
window_title() { xprop -id "$1" WM_NAME 2>/dev/null | sed -n 's/^WM_NAME([A-Z_]*) = "\(.*\)"$/\1/p'; }
title_is() { [ "$(window_title "$(plot_window)")" = "detrend: $1 - right-click or close for the next series" ]; }
expect_title() {
  wait_for 20 title_is "$1" || fail "window title \"$(window_title "$(plot_window)")\", expected one for $1"
}
has_window() { [ -n "$(plot_window)" ]; }
running() { kill -0 "$detrend_pid" 2>/dev/null; }
announcements() { grep -c 'Computing prediction error filter' display/out.txt || true; }

# Counts the pixels of colour $2 (as ImageMagick names it, e.g. #FF0000) in
# image $1, optionally cropped to $3.
pixels() {
  local crop=${3:-}
  convert "$1" ${crop:+-crop "$crop" +repage} -format %c histogram:info:- |
    awk -v c="$2" 'index($0, c) { sum += $1 } END { print sum + 0 }'
}
# Takes a screenshot of the plot window once the plot is painted (red pixels).
screenshot() {
  local window
  window=$(plot_window)
  [ -n "$window" ] || return 1
  import -window "$window" "$1" 2>/dev/null || return 1
  [ "$(pixels "$1" '#FF0000')" -gt 0 ]
}

# Series 1: a window with the plot.
wait_for 20 has_window || fail "no window for series 1"
expect_title "Site A"
wait_for 20 screenshot plot-series-1.png || fail "series 1 was not painted"
for colour in '#FFFFFF:white background' '#FF0000:red series' '#0000FF:blue spline' '#000000:black frame'; do
  [ "$(pixels plot-series-1.png "${colour%%:*}")" -gt 0 ] || fail "no ${colour#*:} in the plot of series 1"
done
[ "$(pixels plot-series-1.png '#FFFFFF')" -gt "$(pixels plot-series-1.png '#000000')" ] || fail "background is not white"
# The title stands above the box: black pixels in the top band.
[ "$(pixels plot-series-1.png '#000000' 960x70+0+0)" -gt 20 ] || fail "no title above the plot"

# A left click does not end the wait.
window=$(plot_window)
xdotool mousemove --window "$window" 480 380 click 1
sleep 1
running || fail "the program ended after a left click"
has_window || fail "the window closed after a left click"
[ "$(announcements)" -eq 1 ] || fail "series 2 started after a left click"

# A right click dismisses it; the window of series 2 follows.
xdotool mousemove --window "$window" 480 380 click 3
wait_for 20 test "$(announcements)" -eq 2 || fail "series 2 did not start after a right click"
wait_for 20 has_window || fail "no window for series 2"
expect_title SiteB
wait_for 20 screenshot plot-series-2.png || fail "series 2 was not painted"

# The window manager's close request dismisses it too, and the run ends.
"$close_window" "$(plot_window)" || fail "could not send the close request"
wait_for 20 eval '! running' || fail "the program did not end after the close request"
status=0
wait "$detrend_pid" || status=$?
detrend_pid=
[ "$status" -eq 0 ] || fail "exit status $status"

cmp -s display/out.txt nodisplay/out.txt || fail "console text differs from the run without display"
cmp -s display/listing.txt nodisplay/listing.txt || fail "listing differs from the run without display"
[ ! -s display/err.txt ] || fail "unexpected standard error: $(cat display/err.txt)"
grep -q 'no display available' nodisplay/err.txt || fail "the run without display did not say so"

# A series of one value: PLplot refuses the box, and the window does not wait.
# Run ten times: with no other client, the X server resets whenever its last
# client leaves, and a window must never be refused for that.
mkdir -p single && cd single
printf 'Year One\n1900 1.5\n' > table.txt
for run in 1 2 3 4 5 6 7 8 9 10; do
  # No spline can be fitted to one value: the run completes and says so
  # (status 1), but the window must still come and go.
  status=0
  printf 'table.txt\nlisting.txt\n2\n-999\n1\n' | timeout 30 "$detrend" > out.txt 2> err.txt || status=$?
  [ "$status" = 1 ] || fail "one-value series, run $run: status $status: $(cat err.txt)"
  grep -q 'no spline: the cutoff 1 is not below' err.txt || fail "one-value series, run $run: $(cat err.txt)"
  grep -q 'Normal termination of Progra' out.txt || fail "one-value series: no closing lines"
done
echo "PASS"
