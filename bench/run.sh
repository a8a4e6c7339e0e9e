#!/usr/bin/env bash
# Times cspTRIL against the openssl program doing the same work with the same
# key, the same file and the same OpenSSL configuration (the shipped one, which
# loads the GOST engine), and prints a table of median wall times, their ratio
# and each program's peak resident memory.
#
# Usage: bench/run.sh [BUILD_DIR]      (default: the build/ folder beside bench/)
#   RUNS=N      timed runs per command on the large files (default 9), after
#               one warm-up run that also brings the input into the page cache
#   SMALL_RUNS=N the same for the 1-byte file and genkeys (default 51)
#   BENCH_TMP=D where the scratch folder goes (default: $TMPDIR or /tmp); it
#               needs about 1.3 GiB and is removed at the end
# Needs: hyperfine, GNU time (/usr/bin/time), openssl, base64, sed, awk.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
tool=$build/cspTRIL
export OPENSSL_CONF=$build/cspTRIL-openssl.cnf
runs=${RUNS:-9}
small_runs=${SMALL_RUNS:-51}
for need in "$tool" "$OPENSSL_CONF"; do
  [ -e "$need" ] || { echo "missing $need (build the project first)" >&2; exit 1; }
done
for program in hyperfine /usr/bin/time openssl base64 sed awk; do
  command -v "$program" >/dev/null || { echo "missing $program" >&2; exit 1; }
done

scratch=$(mktemp -d "${BENCH_TMP:-${TMPDIR:-/tmp}}/csptril-bench.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

note() { echo "== $*" >&2; }

note "inputs in $scratch"
head -c $((1 << 30)) /dev/urandom >big.bin
head -c $((256 << 20)) big.bin >mid.bin
printf 'x' >one.bin
mkdir keys genkeys-out
"$tool" genkeys RSA 2048 keys >/dev/null
"$tool" genkeys GOST keys >/dev/null
rsa_key=keys/rsa_private_key.pem rsa_pub=keys/rsa_public_key.pem
gost_key=keys/gost_private_key.pem gost_pub=keys/gost_public_key.pem

# The raw signatures that both programs verify.
openssl dgst -sha256 -sign "$rsa_key" -out big.rsa.sig big.bin
openssl dgst -sha256 -sign "$rsa_key" -out one.rsa.sig one.bin
openssl dgst -md_gost12_256 -sign "$gost_key" -out mid.gost.sig mid.bin
openssl dgst -md_gost12_256 -sign "$gost_key" -out one.gost.sig one.bin

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
check_tool SHA256 "$rsa_key" "$rsa_pub" one.bin one.rsa.sig -sha256
check_tool GOST "$gost_key" "$gost_pub" mid.bin mid.gost.sig -md_gost12_256
check_tool GOST "$gost_key" "$gost_pub" one.bin one.gost.sig -md_gost12_256

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

# One row: label, input bytes, target ratio, then the two commands (each a
# single string, split on blanks; no path here holds one). The two programs
# take turns, one run each, and swap places every round, so that whatever
# else the machine does weighs on both alike.
rows=()
row() {
  local label=$1 bytes=$2 target=$3 tool_cmd=$4 openssl_cmd=$5 count=$runs round
  [ "$bytes" -gt 1 ] || count=$small_runs
  note "$label"
  # shellcheck disable=SC2086  # the commands are meant to be split
  { $tool_cmd && $openssl_cmd; } >/dev/null 2>&1  # warm-up: page cache, libraries
  : >samples.txt
  for ((round = 0; round < count; round++)); do
    local first=("-n" tool "$tool_cmd") second=("-n" openssl "$openssl_cmd")
    if ((round % 2)); then
      first=("-n" openssl "$openssl_cmd") second=("-n" tool "$tool_cmd")
    fi
    hyperfine -N --style none --runs 1 --export-csv pair.csv \
      "${first[@]}" "${second[@]}" >/dev/null
    # Columns: command,mean,stddev,median,user,system,...
    awk -F, 'NR > 1 { print $1, $4, $5 + $6 }' pair.csv >>samples.txt
  done
  local fields="" who
  for who in tool openssl; do
    fields+="$(awk -v who=$who '$1 == who { print $2 }' samples.txt | median)|"
    fields+="$(awk -v who=$who '$1 == who { print $3 }' samples.txt | median)|"
  done
  # shellcheck disable=SC2086
  rows+=("$label|$bytes|$target|$fields$(peak_kib $tool_cmd)|$(peak_kib $openssl_cmd)")
}

GiB=$((1 << 30)) MiB256=$((256 << 20))
row "sign   RSA-2048/SHA-256" $GiB 1.10 \
  "$tool sign SHA256 $rsa_key big.bin out.json" \
  "openssl dgst -sha256 -sign $rsa_key -out out.sig big.bin"
row "verify RSA-2048/SHA-256" $GiB 1.10 \
  "$tool verify SHA256 $rsa_pub big.bin big.rsa.sig" \
  "openssl dgst -sha256 -verify $rsa_pub -signature big.rsa.sig big.bin"
row "sign   GOST 2012-256" $MiB256 1.10 \
  "$tool sign GOST $gost_key mid.bin out.json" \
  "openssl dgst -md_gost12_256 -sign $gost_key -out out.sig mid.bin"
row "verify GOST 2012-256" $MiB256 1.10 \
  "$tool verify GOST $gost_pub mid.bin mid.gost.sig" \
  "openssl dgst -md_gost12_256 -verify $gost_pub -signature mid.gost.sig mid.bin"
row "sign   RSA-2048/SHA-256" 1 1.20 \
  "$tool sign SHA256 $rsa_key one.bin out.json" \
  "openssl dgst -sha256 -sign $rsa_key -out out.sig one.bin"
row "verify RSA-2048/SHA-256" 1 1.20 \
  "$tool verify SHA256 $rsa_pub one.bin one.rsa.sig" \
  "openssl dgst -sha256 -verify $rsa_pub -signature one.rsa.sig one.bin"
row "sign   GOST 2012-256" 1 1.20 \
  "$tool sign GOST $gost_key one.bin out.json" \
  "openssl dgst -md_gost12_256 -sign $gost_key -out out.sig one.bin"
row "verify GOST 2012-256" 1 1.20 \
  "$tool verify GOST $gost_pub one.bin one.gost.sig" \
  "openssl dgst -md_gost12_256 -verify $gost_pub -signature one.gost.sig one.bin"
row "genkeys GOST (paramSetB)" 0 1.20 \
  "$tool genkeys GOST genkeys-out" \
  "openssl genpkey -algorithm gost2012_256 -pkeyopt paramset:B -out genkeys-out/key.pem"

echo
echo "cspTRIL $build/cspTRIL vs $(openssl version | cut -d' ' -f1-2)," \
  "OPENSSL_CONF=$OPENSSL_CONF; $(date -u +%FT%TZ)"
echo "Medians of $runs runs (large files) or $small_runs (1 byte, genkeys), the programs" \
  "taking turns, after a warm-up; s: wall time; cpu: ratio of user+system times;" \
  "RSS: peak of one run"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) CPUs"
printf '%s\n' "${rows[@]}" | awk -F'|' '
  function size(b) {
    if (b == 0) return "-"
    if (b >= 2^30) return sprintf("%g GiB", b / 2^30)
    if (b >= 2^20) return sprintf("%g MiB", b / 2^20)
    return b " B"
  }
  BEGIN {
    format = "%-25s %7s %8s %9s %6s %6s %5s %11s %11s %3s\n"
    printf format, "operation", "input", "tool s", "openssl s", "ratio", "target", "cpu",
      "tool RSS", "openssl RSS", "ok"
  }
  {
    ratio = $4 / $6
    # One copy of the input plus 32 MiB is the most the tool may hold.
    rss_limit_kib = $2 / 1024 + 32 * 1024
    ok = (ratio <= $3 && $8 <= rss_limit_kib) ? "yes" : "NO"
    printf format, $1, size($2), sprintf("%.3f", $4), sprintf("%.3f", $6),
      sprintf("%.2f", ratio), $3, sprintf("%.2f", $5 / $7), sprintf("%.1f MiB", $8 / 1024),
      sprintf("%.1f MiB", $9 / 1024), ok
  }'
