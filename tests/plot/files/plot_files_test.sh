#!/usr/bin/env bash
# Writes plot files through detrend --plot and checks them:
#   plot_files_test.sh DETREND EXAMPLES WORKDIR
# A small table goes through detrend --plot to PNG, SVG and PDF, one file per
# series with the expected names: the PNG must be 1200 x 700 on
# white with the red series, blue spline, black residuals and frame, the
# light grey grid, a title above the box and a legend right of it; the SVG
# must be well-formed XML, the PDF complete. No X display is used.
# The chronology of examples/site.rwl, as the README's first command makes
# it, must show each of its lines in its own panel.
# WORKDIR keeps plot-file-example.png, the first series of
# examples/first-try.txt at cutoff 32 (docs/plot-file-example.png), and
# chronology-example.png, that chronology (docs/chronology-example.png).
set -euo pipefail
detrend=$(realpath "$1") examples=$(realpath "$2") work=$3
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

# Two series, the first with a name that is no file name.
cat > small.txt <<'TABLE'
Year "Site A/1" SiteB
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
mkdir plots
for format in png svg pdf; do
  "$detrend" -q -c 5 --plot plots --plot-format "$format" -o small.out small.txt 2> "plot-$format.err" ||
    fail "$format: $(cat "plot-$format.err")"
  [ ! -s "plot-$format.err" ] || fail "$format: unexpected standard error: $(cat "plot-$format.err")"
  for name in small-Site_A_1 small-SiteB; do
    [ "$(stat -c %s "plots/$name.$format")" -gt 5000 ] || fail "plots/$name.$format is missing or too small"
  done
  cp "plots/small-Site_A_1.$format" "small.$format"
done
[ "$(ls plots | wc -l)" = 6 ] || fail "unexpected plot files: $(ls plots)"

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

xmllint --noout small.svg || fail "small.svg is not well-formed XML"
grep -q '<svg[^>]* width="840pt" height="490pt"' small.svg || fail "small.svg: unexpected page size"
[ "$(head -c 5 small.pdf)" = "%PDF-" ] || fail "small.pdf does not start as a PDF"
tail -c 16 small.pdf | grep -q '%%EOF' || fail "small.pdf is incomplete"

# The example picture: the first series of the walkthrough table.
cp "$examples/first-try.txt" .
"$detrend" -q -c 32 --plot . -o first-try.out first-try.txt 2> detrend.err || fail "detrend failed: $(cat detrend.err)"
cp first-try-Oak1.png plot-file-example.png || fail "no picture of the first series"

# The chronology of the README's first command: the standard, residual and
# smoothed chronologies above, the depth below them, the running EPS and its
# threshold at the bottom.
"$detrend" -c 32 -d results --chron --stats --plot plots "$examples/site.rwl" 2> site.err ||
  fail "site.rwl: $(cat site.err)"
chron=plots/site-chron.png
[ "$(identify -format %wx%h "$chron")" = 1200x700 ] || fail "chronology png size $(identify -format %wx%h "$chron")"
for colour in '#1B2A49:standard chronology:850x290+122+62' '#F2A65A:residual chronology:850x290+122+62' \
  '#C62828:smoothing:850x290+122+62' '#0000FF:sample depth:850x100+122+374' '#00796B:running EPS:850x116+122+500' \
  '#E65100:EPS threshold:850x116+122+500'; do
  crop=${colour##*:} what=${colour#*:} what=${what%:*}
  [ "$(pixels "$chron" "${colour%%:*}" "$crop")" -gt 300 ] || fail "too little $what in its panel of $chron"
done
cp "$chron" chronology-example.png
echo "PASS"
