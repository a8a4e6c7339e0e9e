#!/usr/bin/env bash
# Times cspTRIL against the openssl program doing the same work with the same
# key, the same file and GOST from the same source (the build's OpenSSL
# configuration gives the openssl program GOST the build's way; the rows
# without GOST run both programs without it).
# Prints a table of median wall times against targets, their ratio and each
# program's peak resident memory, and for the large inputs
# the time the digest alone needs for their bytes (openssl speed, hashing
# pieces of the tool's size over and over), the floor that no reading can
# beat, with the tool's time against it; then, for signing
# inputs from 1 MiB to 4 GiB, a scaling table (Markdown) and a plot (PNG) of
# wall time and peak memory, written to OUT.
#
# Usage: bench/run.sh [BUILD_DIR]      (default: the build/ folder beside bench/)
#   RUNS=N      timed runs per command on the large files (default 9), after
#               one warm-up run that also brings the input into the page cache
#   SMALL_RUNS=N the same for the 10 KiB file, the bare run and genkeys
#               (default 51)
#   SCALE_RUNS=N timed runs per program and size of the scaling table
#               (default 5; 3 for the 4 GiB input); SCALING=0 leaves it out
#   OUT=D       where scaling.md and scaling.png go (default: bench/results)
#   BENCH_TMP=D where the scratch folder goes (default: $TMPDIR or /tmp); it
#               needs about 1.3 GiB (the 4 GiB input is sparse) and is
#               removed at the end
# Needs: hyperfine, GNU time (/usr/bin/time), openssl, base64, sed, awk, gnuplot.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
checkout=$(dirname "$here")
build=$(cd "${1:-$checkout/build}" && pwd)
tool=$build/cspTRIL
export OPENSSL_CONF=$build/cspTRIL-openssl.cnf
runs=${RUNS:-9}
small_runs=${SMALL_RUNS:-51}
scale_runs=${SCALE_RUNS:-5}
scaling=${SCALING:-1}
# The tool reads its input in pieces of this size (common/files.cpp).
piece=$((1 << 20))
# The digest-only reference: at most this much slower.
hash_target=1.05
out=$(mkdir -p "${OUT:-$here/results}" && cd "${OUT:-$here/results}" && pwd)
for need in "$tool" "$OPENSSL_CONF"; do
  [ -e "$need" ] || { echo "missing $need (build the project first)" >&2; exit 1; }
done
for program in hyperfine /usr/bin/time openssl base64 sed awk gnuplot; do
  command -v "$program" >/dev/null || { echo "missing $program" >&2; exit 1; }
done

scratch=$(mktemp -d "${BENCH_TMP:-${TMPDIR:-/tmp}}/csptril-bench.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

note() { echo "== $*" >&2; }

# A path as printed: relative to the checkout when inside it.
shown() {
  case $1 in "$checkout"/*) echo "${1#"$checkout"/}" ;; *) echo "$1" ;; esac
}

note "inputs in $scratch"
head -c $((1 << 30)) /dev/urandom >big.bin
head -c $((256 << 20)) big.bin >mid.bin
head -c 10240 big.bin >ten.bin
# The scaling inputs: the first bytes of big.bin, and 4 GiB that are sparse
# but for their last byte (the kernel hands the holes over as zero pages).
for mib in 1 16; do head -c $((mib << 20)) big.bin >"$mib.MiB.bin"; done
ln -s mid.bin 256.MiB.bin && ln -s big.bin 1024.MiB.bin
truncate -s $(((4 << 30) - 1)) 4096.MiB.bin && printf '!' >>4096.MiB.bin
mkdir keys genkeys-out
"$tool" genkeys RSA 2048 keys >/dev/null
"$tool" genkeys GOST keys >/dev/null
rsa_key=keys/rsa_private_key.pem rsa_pub=keys/rsa_public_key.pem
gost_key=keys/gost_private_key.pem gost_pub=keys/gost_public_key.pem

# The raw signatures that both programs verify.
openssl dgst -sha256 -sign "$rsa_key" -out big.rsa.sig big.bin
openssl dgst -sha256 -sign "$rsa_key" -out ten.rsa.sig ten.bin
openssl dgst -md_gost12_256 -sign "$gost_key" -out mid.gost.sig mid.bin
openssl dgst -md_gost12_256 -sign "$gost_key" -out ten.gost.sig ten.bin

# The tool must do the same work, not merely finish: its records must hold
# signatures that openssl accepts, and it must accept openssl's.
check_tool() {  # word key pub file raw-sig openssl-digest
  "$tool" sign "$1" "$2" "$4" record.json >/dev/null
  sed -n 's/.*"sign":"\([^"]*\)".*/\1/p' record.json | base64 -d >tool.sig
  openssl dgst "$6" -verify "$3" -signature tool.sig "$4" >/dev/null ||
    { echo "openssl rejects the tool's $1 signature of $4" >&2; exit 1; }
  "$tool" verify "$1" "$3" "$4" "$5" | grep -qx 'Verification OK' ||
    { echo "the tool rejects openssl's $1 signature of $4" >&2; exit 1; }
}
note "checking that both programs agree"
check_tool SHA256 "$rsa_key" "$rsa_pub" big.bin big.rsa.sig -sha256
check_tool SHA256 "$rsa_key" "$rsa_pub" ten.bin ten.rsa.sig -sha256
check_tool GOST "$gost_key" "$gost_pub" mid.bin mid.gost.sig -md_gost12_256
check_tool GOST "$gost_key" "$gost_pub" ten.bin ten.gost.sig -md_gost12_256

# Peak resident set size in KiB of one run.
peak_kib() {
  /usr/bin/time -f %M -o rss.txt "$@" >/dev/null 2>&1
  tail -n 1 rss.txt
}

# Median of the numbers on standard input.
median() {
  sort -g | awk '{ v[NR] = $1 }
    END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Bytes per second of the digest alone, hashing the same piece for a second
# and timed by the clock on the wall, like the programs.
hash_rate() {  # openssl-digest-name
  openssl speed -mr -elapsed -evp "$1" -bytes "$piece" -seconds 1 2>/dev/null |
    awk -F: '$1 == "+F" { print $4 }'
}

# Times two commands (each a single string, split on blanks; no path here
# holds one) COUNT times each. The two programs take turns, one run each, and
# swap places every round, so that whatever else the machine does weighs on
# both alike. Prints, per program (tool, then openssl): median wall time,
# median user+system time, fastest and slowest wall time; then each program's
# peak resident memory in KiB and the 1-minute load average at the end, all
# separated by "|". The machine may be shared: the load says how much. Given
# a digest name, every round also times that digest alone, and the median of
# its rates (bytes per second) ends the line.
measure() {
  local count=$1 tool_cmd=$2 openssl_cmd=$3 digest=${4:-} round
  # shellcheck disable=SC2086  # the commands are meant to be split
  { $tool_cmd && $openssl_cmd; } >/dev/null 2>&1  # warm-up: page cache, libraries
  : >samples.txt
  : >rates.txt
  for ((round = 0; round < count; round++)); do
    [ -z "$digest" ] || hash_rate "$digest" >>rates.txt
    local first=("-n" tool "$tool_cmd") second=("-n" openssl "$openssl_cmd")
    if ((round % 2)); then
      first=("-n" openssl "$openssl_cmd") second=("-n" tool "$tool_cmd")
    fi
    # A bare run of the tool ends with status 1 (the usage): its time counts all the same.
    # genkeys never replaces a key: each run gets an empty folder.
    hyperfine -N -i --style none --runs 1 --export-csv pair.csv \
      --prepare "rm -f genkeys-out/gost_private_key.pem genkeys-out/gost_public_key.pem" \
      "${first[@]}" "${second[@]}" >/dev/null
    # Columns: command,mean,stddev,median,user,system,...
    awk -F, 'NR > 1 { print $1, $4, $5 + $6 }' pair.csv >>samples.txt
  done
  local fields="" who
  for who in tool openssl; do
    fields+="$(awk -v who=$who '$1 == who { print $2 }' samples.txt | median)|"
    fields+="$(awk -v who=$who '$1 == who { print $3 }' samples.txt | median)|"
    fields+="$(awk -v who=$who '$1 == who { print $2 }' samples.txt | sort -g | sed -n '1p;$p' |
      paste -sd'|')|"
  done
  # shellcheck disable=SC2086
  fields+="$(peak_kib $tool_cmd)|$(peak_kib $openssl_cmd)|$(cut -d' ' -f1 /proc/loadavg)"
  [ -z "$digest" ] || fields+="|$(median <rates.txt)"
  echo "$fields"
}

# One row of the target table: label, input bytes, target ratio, the two
# commands, and for an input of several pieces the digest the tool computes.
rows=()
row() {
  local label=$1 bytes=$2 target=$3 count=$runs fields
  [ "$bytes" -gt $((1 << 20)) ] || count=$small_runs
  note "$label"
  # The tool needs no configuration; the openssl program needs it for GOST
  # alone. Rows without GOST run both programs without it, so that neither
  # loads a GOST module it does not use.
  fields=$(if [[ $label != *GOST* ]]; then unset OPENSSL_CONF; fi
           measure "$count" "$4" "$5" "${6:-}")
  # Keep the medians (wall, cpu) of each program, the two peaks, the load and the digest's rate.
  rows+=("$label|$bytes|$target|$(echo "$fields" | cut -d'|' -f1,2,5,6,9-12)")
}

GiB=$((1 << 30)) MiB256=$((256 << 20))
row "sign   RSA-2048/SHA-256" $GiB 0.85 \
  "$tool sign SHA256 $rsa_key big.bin out.json" \
  "openssl dgst -sha256 -sign $rsa_key -out out.sig big.bin" sha256
row "verify RSA-2048/SHA-256" $GiB 0.85 \
  "$tool verify SHA256 $rsa_pub big.bin big.rsa.sig" \
  "openssl dgst -sha256 -verify $rsa_pub -signature big.rsa.sig big.bin" sha256
row "sign   GOST 2012-256" $MiB256 0.95 \
  "$tool sign GOST $gost_key mid.bin out.json" \
  "openssl dgst -md_gost12_256 -sign $gost_key -out out.sig mid.bin" md_gost12_256
row "verify GOST 2012-256" $MiB256 0.95 \
  "$tool verify GOST $gost_pub mid.bin mid.gost.sig" \
  "openssl dgst -md_gost12_256 -verify $gost_pub -signature mid.gost.sig mid.bin" md_gost12_256
# Start-up alone: the tool with no command (it prints its usage), the openssl
# program printing its version.
row "bare run (no command)" 0 1.20 "$tool" "openssl version"
# The small signing rows time the signature alone: the tool prints its record
# (hyperfine discards it), openssl writes to /dev/null. A record file would
# add the tool's two flushes to disk, which openssl does not make.
row "sign   RSA-2048/SHA-256" 10240 0.90 \
  "$tool sign SHA256 $rsa_key ten.bin" \
  "openssl dgst -sha256 -sign $rsa_key -out /dev/null ten.bin"
row "verify RSA-2048/SHA-256" 10240 1.05 \
  "$tool verify SHA256 $rsa_pub ten.bin ten.rsa.sig" \
  "openssl dgst -sha256 -verify $rsa_pub -signature ten.rsa.sig ten.bin"
row "sign   GOST 2012-256" 10240 1.05 \
  "$tool sign GOST $gost_key ten.bin" \
  "openssl dgst -md_gost12_256 -sign $gost_key -out /dev/null ten.bin"
row "verify GOST 2012-256" 10240 1.05 \
  "$tool verify GOST $gost_pub ten.bin ten.gost.sig" \
  "openssl dgst -md_gost12_256 -verify $gost_pub -signature ten.gost.sig ten.bin"
row "genkeys GOST (paramSetB)" 0 1.20 \
  "$tool genkeys GOST genkeys-out" \
  "openssl genpkey -algorithm gost2012_256 -pkeyopt paramset:B -out genkeys-out/key.pem"

echo
echo "cspTRIL $(shown "$tool") vs $(openssl version | cut -d' ' -f1-2)," \
  "OPENSSL_CONF=$(shown "$OPENSSL_CONF"); $(date -u +%FT%TZ)"
echo "Medians of $runs runs (large files) or $small_runs (10 KiB, bare run, genkeys), the programs" \
  "taking turns, after a warm-up; s: wall time; cpu: ratio of user+system times;" \
  "RSS: peak of one run"
echo "hash s: the digest alone for the same bytes (openssl speed -evp, $((piece >> 20)) MiB" \
  "pieces, wall clock, median of one-second runs taking turns with the programs);" \
  "x hash: tool s / hash s, target $hash_target"
echo "load: 1-minute load average after each row, $(nproc) CPUs"
printf '%s\n' "${rows[@]}" | awk -F'|' -v hash_target=$hash_target '
  function size(b) {
    if (b == 0) return "-"
    if (b >= 2^30) return sprintf("%g GiB", b / 2^30)
    if (b >= 2^20) return sprintf("%g MiB", b / 2^20)
    if (b >= 2^10) return sprintf("%g KiB", b / 2^10)
    return b " B"
  }
  BEGIN {
    format = "%-25s %7s %8s %9s %6s %6s %5s %7s %6s %11s %11s %3s %5s\n"
    printf format, "operation", "input", "tool s", "openssl s", "ratio", "target", "cpu",
      "hash s", "x hash", "tool RSS", "openssl RSS", "ok", "load"
  }
  {
    ratio = $4 / $6
    hash = ($11 > 0) ? $2 / $11 : 0
    # The input passes through in pieces: 16 MiB is the most the tool may hold.
    ok = (ratio <= $3 && $8 <= 16 * 1024 && (hash == 0 || $4 / hash <= hash_target)) ? "yes" : "NO"
    printf format, $1, size($2), sprintf("%.4f", $4), sprintf("%.4f", $6),
      sprintf("%.2f", ratio), $3, sprintf("%.2f", $5 / $7),
      hash ? sprintf("%.3f", hash) : "-", hash ? sprintf("%.2f", $4 / hash) : "-",
      sprintf("%.1f MiB", $8 / 1024), sprintf("%.1f MiB", $9 / 1024), ok, $10
  }'

[ "$scaling" = 1 ] || exit 0

# Signing inputs from 1 MiB to 4 GiB: wall time and peak memory of both programs.
scale=()
for algorithm in RSA GOST; do
  if [ $algorithm = RSA ]; then word=SHA256 key=$rsa_key digest=-sha256
  else word=GOST key=$gost_key digest=-md_gost12_256; fi
  for mib in 1 16 256 1024 4096; do
    count=$scale_runs
    [ "$mib" -lt 4096 ] || count=$((scale_runs < 3 ? scale_runs : 3))
    note "scaling: sign $algorithm $mib MiB"
    scale+=("$algorithm|$mib|$count|$(measure "$count" "$tool sign $word $key $mib.MiB.bin out.json" \
      "openssl dgst $digest -sign $key -out out.sig $mib.MiB.bin")")
  done
done

# Fields: algorithm, MiB, runs, then as measure() prints them.
printf '%s\n' "${scale[@]}" | awk -F'|' '
  $1 != last && NR > 1 { print "\n" }
  { last = $1; print $1, $2, $4, $6, $7, $8, $10, $11, $12 / 1024, $13 / 1024 }' >"$out/scaling.dat"
{
  echo "Signing with \`cspTRIL sign\` and \`openssl dgst -sign\` ($(openssl version | cut -d' ' -f1-2))," \
    "$(date -u +%FT%TZ), $(nproc) CPUs. Wall time: median of the runs, the programs taking turns," \
    "after a warm-up (inputs in the page cache), with the fastest and slowest run in brackets." \
    "Peak memory: one run each. Load: 1-minute load average after the row (the machine may be shared)." \
    "The 4 GiB input is a sparse file."
  echo
  echo "| algorithm | input | runs | cspTRIL s | openssl s | ratio | cspTRIL peak | openssl peak | load |"
  echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|"
  printf '%s\n' "${scale[@]}" | awk -F'|' '
    function size(m) { return m >= 1024 ? m / 1024 " GiB" : m " MiB" }
    { printf "| %s | %s | %d | %.3f (%.3f-%.3f) | %.3f (%.3f-%.3f) | %.2f | %.1f MiB | %.1f MiB | %s |\n",
        $1 == "RSA" ? "RSA-2048/SHA-256" : "GOST 2012-256", size($2), $3, $4, $6, $7, $8, $10,
        $11, $4 / $8, $12 / 1024, $13 / 1024, $14 }'
} >"$out/scaling.md"
gnuplot <<PLOT
set terminal pngcairo size 1100,450 font ",10"
set output "$out/scaling.png"
set multiplot layout 1,2 title "Signing: cspTRIL against openssl dgst ($(date -u +%F))"
set logscale xy 2
set xlabel "input (MiB)"
set key top left
set grid
set ylabel "wall time (s): median, fastest to slowest"
plot "$out/scaling.dat" index 0 using 2:3:4:5 with yerrorlines lw 2 title "cspTRIL RSA", \
     "" index 0 using 2:6:7:8 with yerrorlines dt 2 title "openssl RSA", \
     "" index 1 using 2:3:4:5 with yerrorlines lw 2 title "cspTRIL GOST", \
     "" index 1 using 2:6:7:8 with yerrorlines dt 2 title "openssl GOST"
set ylabel "peak resident memory (MiB): one run"
plot "$out/scaling.dat" index 0 using 2:9 with linespoints lw 2 title "cspTRIL RSA", \
     "" index 0 using 2:10 with linespoints dt 2 title "openssl RSA", \
     "" index 1 using 2:9 with linespoints lw 2 title "cspTRIL GOST", \
     "" index 1 using 2:10 with linespoints dt 2 title "openssl GOST", \
     16 with lines lc "red" title "16 MiB"
unset multiplot
PLOT
echo
cat "$out/scaling.md"
echo "(written to $(shown "$out")/scaling.md, scaling.dat and scaling.png)"
