#!/usr/bin/env bash
# Writes plot files through PLplot's cairo devices and checks them:
#   plot_files_test.sh RENDER_PLOT_FILE DETREND EXAMPLES WORKDIR
# A small series goes to PNG, SVG and PDF: the PNG must be 1200 x 700 on
# white with the red series, blue spline, black residuals and frame, the
# light grey grid, a title above the box and a legend right of it; the SVG
# must be well-formed XML, the PDF complete. No X display is used.
# WORKDIR keeps plot-file-example.png, the first series of
# examples/first-try.txt at cutoff 32 (docs/plot-file-example.png).
set -euo pipefail
render=$(realpath "$1") detrend=$(realpath "$2") examples=$(realpath "$3") work=$4
rm -rf "$work" && mkdir -p "$work" && cd "$work"
unset DISPLAY

fail() { echo "FAIL: $*" >&2; exit 1; }

# Counts the pixels of colour $2 (as ImageMagick names it, e.g. #FF0000) in
# image $1, optionally cropped to $3.
pixels() {
  local crop=${3:-}
  convert "$1" ${crop:+-crop "$crop" +repage} -format %c histogram:info:- |
    awk -v c="$2" 'index($0, c) { sum += $1 } END { print sum + 0 }'
}

# year, series, spline, residual
cat > rows.txt <<'ROWS'
1850 0.82 0.95 -0.13
1851 0.91 0.97 -0.06
1852 1.10 0.99 0.11
1853 1.25 1.01 0.24
1854 0.97 1.03 -0.06
1855 1.03 1.04 -0.01
1856 0.88 1.05 -0.17
1857 1.12 1.06 0.06
1858 1.30 1.06 0.24
1859 0.95 1.05 -0.10
1860 1.01 1.04 -0.03
1861 0.89 1.03 -0.14
ROWS

for format in png svg pdf; do
  "$render" "small.$format" "$format" "Site A    " 5 < rows.txt 2> "render-$format.err" ||
    fail "$format: $(cat "render-$format.err")"
  [ ! -s "render-$format.err" ] || fail "$format: unexpected standard error: $(cat "render-$format.err")"
  [ "$(stat -c %s "small.$format")" -gt 5000 ] || fail "small.$format is too small"
done

png=small.png
[ "$(identify -format %wx%h "$png")" = 1200x700 ] || fail "png size $(identify -format %wx%h "$png")"
[ "$(pixels "$png" '#FFFFFF')" -gt 600000 ] || fail "background is not white"
for colour in '#FF0000:red series' '#0000FF:blue spline' '#000000:black residuals and frame' \
  '#D3D3D3:light grey grid'; do
  [ "$(pixels "$png" "${colour%%:*}")" -gt 500 ] || fail "too little ${colour#*:} in $png"
done
# Title above the box, legend (a red and a blue line) right of it.
[ "$(pixels "$png" '#000000' 1200x60+0+0)" -gt 20 ] || fail "no title above the plot"
[ "$(pixels "$png" '#FF0000' 220x700+980+0)" -gt 10 ] || fail "no series line in the legend"
[ "$(pixels "$png" '#0000FF' 220x700+980+0)" -gt 10 ] || fail "no spline line in the legend"

# Equal bounds, which PLplot would widen itself with a warning: one value
# (x and y), and equal values (y).
for rows in '1900 1.5 1.5 0' $'1900 2 2 2\n1901 2 2 2'; do
  echo "$rows" | "$render" equal.png png Equal 5 2> render-equal.err || fail "equal bounds: $(cat render-equal.err)"
  [ ! -s render-equal.err ] || fail "equal bounds: unexpected standard error: $(cat render-equal.err)"
  [ "$(pixels equal.png '#0000FF')" -gt 0 ] || fail "equal bounds: no spline in the picture"
done

xmllint --noout small.svg || fail "small.svg is not well-formed XML"
grep -q '<svg[^>]* width="840pt" height="490pt"' small.svg || fail "small.svg: unexpected page size"
[ "$(head -c 5 small.pdf)" = "%PDF-" ] || fail "small.pdf does not start as a PDF"
tail -c 16 small.pdf | grep -q '%%EOF' || fail "small.pdf is incomplete"

# The example picture: detrend's listing of the first series of the
# walkthrough table, rows of year, series, spline and residual.
cp "$examples/first-try.txt" .
printf 'first-try.txt\nfirst-try.out\n3\n-999\n32\n' | "$detrend" > detrend.out 2> detrend.err ||
  fail "detrend failed: $(cat detrend.err)"
awk '/Input series is:/ { n++; next } n == 1 && NF == 4 && $1 ~ /^[0-9]+$/' first-try.out > oak1.txt
[ "$(wc -l < oak1.txt)" -gt 10 ] || fail "no rows of the first series in the listing"
"$render" plot-file-example.png png Oak1 32 < oak1.txt || fail "example picture"
echo "PASS"
