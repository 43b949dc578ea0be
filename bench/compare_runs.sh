#!/usr/bin/env bash
# Runs a fixed list of dialogue and batch scenarios with binary $1 into the
# directory $2, for comparing two builds byte for byte:
#   bench/compare_runs.sh old/detrend old && bench/compare_runs.sh new/detrend new && diff -r old new
set -u
bin=$1; out=$2; ex=$(cd "$(dirname "$0")/../examples" && pwd)
rm -rf "$out"; mkdir -p "$out"
n=0
run() {  # run NAME STDIN ARGS...
  local name=$1 input=$2; shift 2
  local d="$out/$name"; mkdir -p "$d"; cp "$ex"/*.txt "$ex"/oaks.* "$d"/
  (cd "$d" && env -u DISPLAY "$bin" "$@" < <(printf "$input") > stdout 2> stderr; echo $? > status)
  n=$((n+1))
}
run dialogue-first "first-try.txt\nf.out\n3\n-999\n32\n"
run dialogue-sites "sites.txt\ns.out\n7\n-999\n20\n"
run dialogue-cut5 "first-try.txt\nf.out\n3\n-999\n5\n"
run dialogue-missing "nothere.txt\nf.out\n"
run dialogue-slash "/\n"
run dialogue-badcols "first-try.txt\nf.out\n2\n-999\n32\n"
run dialogue-negcut "first-try.txt\nf.out\n3\n-999\n-3\n"
run dialogue-same "first-try.txt\nfirst-try.txt\n"
run dialogue-long "first-try.txt\nf.out\n3\n-999\n9999\n"
run batch-stdout "" -c 32 first-try.txt
run batch-files "" -c 20 first-try.txt -o l.out --csv i.csv
run batch-diff "" -c 20 --index difference first-try.txt -o l.out --csv i.csv
run batch-dir "" -c 30 -d res oaks.rwl oaks.csv sites.txt
run batch-pct "" -c 40% -d res oaks.rwl
run batch-site "" -c 25 -d res --chron --stats --plot plots oaks.rwl
run batch-svg "" -c 25 -d res --chron --plot plots --plot-format svg oaks.rwl
run batch-pdf "" -c 25 -d res --plot plots --plot-format pdf oaks.csv
run batch-crn "" -c 20 --chron=o.crn --chron-mean arithmetic oaks.rwl
run batch-statsall "" -c 20 -d res --stats=all.csv oaks.rwl oaks.csv
run batch-stdin "first-try.txt" -c 32 -q -
run batch-jobs "" -c 32 -j 1 -d res sites.txt
run batch-format "" -c 15 --format table --columns 3 first-try.txt
run usage-1 "" first-try.txt
run usage-2 "" -c 0 first-try.txt
run usage-3 "" -c 5 -x first-try.txt
run usage-4 "" --help
run usage-5 "" --version
run batch-missing "" -c 5 nothere.rwl
run batch-quiet "" -q -c 30 -d res oaks.rwl
run batch-xdate "" -c 20 -d res --xdate --plot plots oaks.rwl
run convert-heidelberg "" --write-series o.fh oaks.rwl
printf 'Year A\n1900 1\n1901 2\n' > "$out/short.txt"
run batch-short "" -c 5 ../short.txt
echo "$n runs"
