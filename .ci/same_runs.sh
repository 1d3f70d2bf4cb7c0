#!/bin/sh
# Runs the guide's sessions (doc/guide.md) with two builds of the program and fails unless
# both give the same console output, standard error, elab.dat and exit
# status, byte for byte.
#
#   .ci/same_runs.sh REFERENCE-COMMAND OTHER-COMMAND PRICE-FILE
# A command may be several words (an emulator and the program).
set -eu
reference=$1
other=$2
prices=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
scratch=$(mktemp -d "${TMPDIR:-/tmp}/elab-same-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# run DIR COMMAND ANSWERS [ARG]: one run in DIR, beside an elab.dat of an
# earlier run.
run() {
  mkdir "$1"
  cp "$prices" "$1/prices.txt"
  printf 'from an earlier run\r\n' > "$1/elab.dat"
  set +e
  (cd "$1" && printf -- "$3" | $2 ${4:+"$4"} > stdout 2> stderr)
  echo $? > "$1/status"
  set -e
}

failures=0
# same NAME ANSWERS [ARG]
same() {
  run "$scratch/$1.reference" "$reference" "$2" ${3:+"$3"}
  run "$scratch/$1.other" "$other" "$2" ${3:+"$3"}
  for part in stdout stderr elab.dat status; do
    if ! cmp -s "$scratch/$1.reference/$part" "$scratch/$1.other/$part"; then
      echo "FAIL: $1: $part differs" >&2
      failures=$((failures + 1))
    fi
  done
  echo "$1: status $(cat "$scratch/$1.other/status"), $(wc -c < "$scratch/$1.other/elab.dat") bytes of elab.dat"
}

same set-up '-1\n1\n2\n0\n0\n0\n' prices.txt
same sample-session '950101\n0\n11\n3\n1\n0\n-1\n' prices.txt
same answers-file '-1\n11\n2\n1\n1\n-1\n' prices.txt
same name-asked 'prices.txt\r\n-1\r\n11\r\n3\r\n1\r\n1\r\n-1\r\n'
same date-order '960101\n950101\n' prices.txt
same bad-answer '-1\n3.0\n' prices.txt
same missing-file '' absent.txt
[ "$failures" -eq 0 ]
