# The manual page renders with every groff warning enabled and none given.
# man_page_test.sh PAGE
page=$1
. "$(dirname "$0")/support/tool_test.sh"

command -v groff > /dev/null || skip "groff not installed (Debian package groff-base)"
groff -ww -man -z "$page" > "$scratch/out" 2> "$scratch/warnings" ||
  fail "groff failed on $page"
[ ! -s "$scratch/warnings" ] || fail "groff warns on $page: $(cat "$scratch/warnings")"
for section in NAME SYNOPSIS DESCRIPTION FILES "EXIT STATUS" EXAMPLES; do
  grep -q "^\.SH \"*$section\"*\$" "$page" || fail "$page has no section $section"
done
echo "ok: $page"
