# The guide's recipes for many price files (the one command, and xargs
# handing it the files) give for each file the elab.dat of a single run with
# the answers typed, its count in the file's line, and one day per record.
# parallel_runs_test.sh ELAB SOURCE_DIR
elab=$1
source=$2
. "$(dirname "$0")/support/tool_test.sh"

one_command=$(sed -n '/^    mkdir -p out && elab/,/^$/s/^    //p' "$source/doc/guide.md")
[ -n "$one_command" ] || fail "no one-command recipe in doc/guide.md"
recipe=$(sed -n '/^    mkdir -p out && find prices -name/,/^$/s/^    //p' "$source/doc/guide.md")
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
# differ only by a trailing newline (kept apart by the safe form).
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

for way in one_command recipe; do
  rm -rf "$work/out"
  eval "command=\$$way"
  (cd "$work" && PATH=$(dirname "$elab"):$PATH && eval "$command") > "$scratch/$way.out" ||
    fail "$way ended with status $?"
  for name in all first last; do
    mkdir -p "$scratch/single-$name"
    run_elab "$scratch/single-$name" "$work/prices/$name.txt" "$answers"
    cmp "$work/out/$name.dat" "$scratch/single-$name/elab.dat" ||
      fail "$way: the training file of $name differs from a single run's"
    [ -s "$work/out/$name.dat" ] || fail "$way: no records for $name"
    count=$(grep -a 'Record scritti' "$scratch/single-$name/console.txt" | tr -dc '0-9')
    grep -aq "^$name: Record scritti: $count" "$scratch/$way.out" || fail "$way: no count line of $name"
    [ "$(wc -l < "$work/out/$name.days")" = "$(wc -l < "$work/out/$name.dat")" ] ||
      fail "$way: not one day per record for $name"
  done
  # The leading dash and the newline in their safe form.
  for name in "a b" %2Ddash nl nl%0A; do
    [ -s "$work/out/$name.dat" ] || fail "$way: no training file '$name.dat'"
  done
  cmp -s "$work/out/nl.dat" "$work/out/nl%0A.dat" && fail "$way: two price files gave one training file"
  cmp "$work/out/%2Ddash.dat" "$work/out/last.dat" || fail "$way: the file with a leading dash differs"
done
echo "ok: seven files in one command, and through xargs"
