# The manual page renders with every groff warning enabled and none given,
# and it and the guide list the options the program's --help lists, made
# from the program's one table of options and answers (options_test holds
# their words to the table's).
# man_page_test.sh PAGE PROGRAM GUIDE
page=$1
program=$2
guide=$3
. "$(dirname "$0")/support/tool_test.sh"

"$program" --help | sed -n 's/^ *\(-., \)\{0,1\}--\([a-z-]*\).*/\2/p' | sort > "$scratch/program"
[ -s "$scratch/program" ] || fail "$program --help lists no option"
# The page's: each .TP entry of OPTIONS, written \-\-name.
sed -n '/^\.SH OPTIONS/,/^\.SH /p' "$page" | sed -n '/^\.TP/{n;p;}' |
  sed -n 's/.*\\-\\-\(\([a-z]\|\\-\)*\).*/\1/p' | sed 's/\\-/-/g' | sort > "$scratch/page"
same() { cmp -s "$scratch/program" "$2" || fail "$1 lists other options than --help: $(diff "$scratch/program" "$2" | tr '\n' ' ')"; }
same "$page" "$scratch/page"
# The guide's: the (last) long option in the first cell of each row of its
# table of options.
sed -n 's/^| `[^|]*--\([a-z-]*\).*/\1/p' "$guide" | sort > "$scratch/guide"
same "$guide" "$scratch/guide"

command -v groff > /dev/null || skip "groff not installed (Debian package groff-base)"
groff -ww -man -z "$page" > "$scratch/out" 2> "$scratch/warnings" ||
  fail "groff failed on $page"
[ ! -s "$scratch/warnings" ] || fail "groff warns on $page: $(cat "$scratch/warnings")"
for section in NAME SYNOPSIS DESCRIPTION FILES "EXIT STATUS" EXAMPLES; do
  grep -q "^\.SH \"*$section\"*\$" "$page" || fail "$page has no section $section"
done
echo "ok: $page"
