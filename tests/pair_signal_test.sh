# A run with -o and --dates ended by SIGTERM at random points, 200 times, on
# a 100,000-row file: each time the pair is both the earlier files or both
# the run's, never one of each, and no temporary is left.
# pair_signal_test.sh ELAB [RUNS]
elab=$1
runs=${2:-200}
. "$(dirname "$0")/support/tool_test.sh"

cd "$scratch" || fail "no scratch directory"
awk 'BEGIN {
  n = 100000; print n " 7"
  y = 1900; m = 1; d = 1; split("31 28 31 30 31 30 31 31 30 31 30 31", len, " ")
  for (i = 0; i < n; i++) {
    c = 100 + 20 * sin(i / 50) + (i * 7919 % 13) / 10
    printf "%d %d %d %.2f %.2f %.2f %d\n", y, m, d, c + 1, c - 1, c, 2 + i % 5
    leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0
    if (++d > len[m] + (m == 2 && leap)) { d = 1; if (++m > 12) { m = 1; y++ } }
  }
}' > prices.txt
set -- --from=all --variable=11 --coefficient=2 --screen-output=yes --screen-inputs=yes \
  --days=dummies -o out.dat --dates=out.days prices.txt
"$elab" "$@" > /dev/null || fail "the reference run ended with status $?"
mv out.dat new.dat && mv out.days new.days

old=0 new=0 k=0
while [ "$k" -lt "$runs" ]; do
  k=$((k + 1))
  printf 'earlier\r\n' > out.dat
  printf 'earlier days\r\n' > out.days
  "$elab" "$@" > /dev/null 2>&1 &
  pid=$!
  # Anywhere from the start to the end of a run of this size.
  sleep "0.$(awk -v s="$k" 'BEGIN { srand(s); printf "%03d", int(rand() * 400) }')"
  kill -TERM "$pid" 2>/dev/null
  { wait "$pid"; } 2>/dev/null
  if cmp -s out.dat new.dat && cmp -s out.days new.days; then
    new=$((new + 1))
  elif printf 'earlier\r\n' | cmp -s - out.dat && printf 'earlier days\r\n' | cmp -s - out.days; then
    old=$((old + 1))
  else
    fail "run $k: the training file and the dates file are not one pair"
  fi
  ! ls -a | grep -q partial || fail "run $k: a temporary is left: $(ls -a | grep partial)"
done
echo "ok: $runs runs, $old left both earlier files, $new both new ones"
