# Shared by the script tests: a scratch directory removed on exit, and the
# ways a test ends. Sourced, not run.

scratch=$(mktemp -d "${TMPDIR:-/tmp}/elab-tool-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# CTest counts status 77 as skipped (SKIP_RETURN_CODE).
skip() {
  echo "SKIPPED: $*"
  exit 77
}

# The answers of the README's example run: all rows, variable 1,
# coefficient 2, no screening, layout A.
readme_answers='-1
1
2
0
0
0
'

# run_elab DIR PRICE_FILE ANSWERS: one run in DIR, console to DIR/console.txt.
run_elab() {
  (cd "$1" && printf '%s' "$3" | "$elab" "$2" > console.txt) ||
    fail "elab on $2 in $1 ended with status $?"
}
