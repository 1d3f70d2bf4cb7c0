# examples/load_elab.py on a freshly written elab.dat of each layout: the
# values of a record agree with its fixed columns read on their own.
# load_elab_test.sh ELAB SOURCE_DIR
elab=$1
source=$2
. "$(dirname "$0")/support/tool_test.sh"

# The python3 first on PATH may be a private one without numpy; Debian's
# python3-numpy goes with /usr/bin/python3.
python=
for candidate in python3 /usr/bin/python3; do
  if "$candidate" -c 'import numpy' 2> /dev/null; then
    python=$candidate
    break
  fi
done
[ -n "$python" ] || skip "python3 with numpy not found (Debian package python3-numpy)"

# answers per layout: A all days, unscreened; B Wednesdays; C all days with
# both screenings at 2.
for case in "A 0" "B 4" "C -1"; do
  set -- $case
  mkdir "$scratch/$1"
  if [ "$2" = 0 ]; then screen=0; else screen=1; fi
  run_elab "$scratch/$1" "$source/examples/prices.txt" "-1
1
2
$screen
$screen
$2
"
done

# Layout C again as a scripted run, with the day of each record.
(cd "$scratch/C" && "$elab" --from=all --variable=1 --coefficient=2 --screen-output=yes \
  --screen-inputs=yes --days=dummies -o scripted.dat --dates=dates.txt \
  "$source/examples/prices.txt" > /dev/null) || fail "scripted elab ended with status $?"
cmp -s "$scratch/C/scripted.dat" "$scratch/C/elab.dat" ||
  fail "the scripted run wrote another training file"

# The same run as CSV, which the loader reads too.
(cd "$scratch/C" && "$elab" --from=all --variable=1 --coefficient=2 --screen-output=yes \
  --screen-inputs=yes --days=dummies --format=csv -o scripted.csv \
  "$source/examples/prices.txt" > /dev/null) || fail "elab --format=csv ended with status $?"

"$python" "$(dirname "$0")/load_elab_check.py" "$source/examples" "$scratch"
