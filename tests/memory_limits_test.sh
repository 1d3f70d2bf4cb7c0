# Under every address-space limit from the least the loader needs up to
# 20 MB, by 100 KiB: a run ends with status 0, 1 or 99 (the memory stop,
# with its report where there is room for one), never in an abort; no
# temporary is left, and each output is the earlier file or the new one.
# memory_limits_test.sh ELAB SOURCE_DIR
elab=$1
source=$2
. "$(dirname "$0")/support/tool_test.sh"

cd "$scratch" || fail "no scratch directory"
cp "$source/examples/prices.txt" .
set -- --from=all --variable=11 --coefficient=2 --screen-output=yes --screen-inputs=yes \
  --days=dummies -o out.dat --dates=out.days prices.txt
"$elab" "$@" > /dev/null || fail "the plain run ended with status $?"
mv out.dat new.dat && mv out.days new.days

loaded=no counts=
kib=2000
while [ "$kib" -le 20480 ]; do
  printf 'earlier\r\n' > out.dat
  printf 'earlier\r\n' > out.days
  (ulimit -v "$kib" && exec "$elab" "$@") > console.txt 2> errors.txt
  status=$?
  if [ "$status" = 127 ] && [ ! -s console.txt ] && ! grep -q '^elab\|run-time error' errors.txt; then
    kib=$((kib + 100))
    continue  # the loader gave up before the program began: below what it needs
  fi
  loaded=yes
  case $status in
    0) cmp -s out.dat new.dat && cmp -s out.days new.days || fail "$kib KiB: status 0 without the new files" ;;
    1 | 99)
      printf 'earlier\r\n' | cmp -s - out.dat && printf 'earlier\r\n' | cmp -s - out.days ||
        fail "$kib KiB: status $status and the earlier files changed" ;;
    *) fail "$kib KiB: status $status: $(head -c 300 errors.txt)" ;;
  esac
  ! ls -a | grep -q partial || fail "$kib KiB: a temporary is left"
  counts="$counts $status"
  kib=$((kib + 100))
done
[ "$loaded" = yes ] || skip "the program never loaded under 20 MB"
echo "ok: statuses by limit:$counts"
