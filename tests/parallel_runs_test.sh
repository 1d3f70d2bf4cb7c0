# The guide's recipe for many price files (one process per file, the answers
# as options, each output named after its file, run by xargs -P) gives for
# each file the elab.dat of a single run with the answers typed, the count
# line it shows, and one day per record.
# parallel_runs_test.sh ELAB SOURCE_DIR
elab=$1
source=$2
. "$(dirname "$0")/support/tool_test.sh"

recipe=$(sed -n '/^    find prices -name/,/^$/s/^    //p' "$source/doc/guide.md")
[ -n "$recipe" ] || fail "no xargs recipe in doc/guide.md"

# Three different price files cut from the example: all of it, its first
# 300 rows, its last 300 rows.
work=$scratch/work
mkdir -p "$work/prices"
example=$source/examples/prices.txt
cp "$example" "$work/prices/all.txt"
awk 'NR == 1 { print "300 7"; next } NR <= 301' "$example" > "$work/prices/first.txt"
awk 'NR == 1 { print "300 7"; next } NR > 101' "$example" > "$work/prices/last.txt"
# Names a recipe must pass unchanged: a blank, a leading dash, and two that
# differ only by a trailing newline.
cp "$work/prices/first.txt" "$work/prices/a b.txt"
cp "$work/prices/last.txt" "$work/prices/-dash.txt"
cp "$work/prices/first.txt" "$work/prices/nl.txt"
cp "$work/prices/last.txt" "$work/prices/nl
.txt"
answers='-1
11
2
1
1
-1
'
printf '%s' "$answers" > "$work/answers.txt"

(cd "$work" && PATH=$(dirname "$elab"):$PATH && eval "$recipe") ||
  fail "the recipe ended with status $?"

for name in all first last; do
  mkdir "$scratch/single-$name"
  run_elab "$scratch/single-$name" "$work/prices/$name.txt" "$answers"
  cmp "$work/out/$name.dat" "$scratch/single-$name/elab.dat" ||
    fail "the training file of $name differs from a single run's"
  [ -s "$work/out/$name.dat" ] || fail "no records for $name"
  tail -c "$(wc -c < "$work/out/$name.console")" "$scratch/single-$name/console.txt" |
    cmp -s - "$work/out/$name.console" || fail "the console of $name is not the single run's end"
  [ "$(wc -l < "$work/out/$name.days")" = "$(wc -l < "$work/out/$name.dat")" ] ||
    fail "not one day per record for $name"
done
for name in "a b" -dash nl "nl
"; do
  [ -s "$work/out/$name.dat" ] || fail "no training file for the price file '$name.txt'"
done
cmp -s "$work/out/nl.dat" "$work/out/nl
.dat" && fail "two price files gave one training file"
cmp "$work/out/-dash.dat" "$work/out/last.dat" || fail "the file with a leading dash differs"
echo "ok: seven files in parallel"
