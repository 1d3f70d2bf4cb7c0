# cmake --install into a scratch prefix gives bin/elab, bin/elab-load and
# the manual page, and the installed program writes the README example's
# training file.
# install_test.sh CMAKE BUILD_DIR SOURCE_DIR
cmake=$1
build=$2
source=$3
. "$(dirname "$0")/support/tool_test.sh"

prefix=$scratch/prefix
"$cmake" --install "$build" --prefix "$prefix" > "$scratch/install.log" ||
  fail "cmake --install failed: $(cat "$scratch/install.log")"
[ -x "$prefix/bin/elab" ] || fail "no bin/elab under the prefix"
[ -x "$prefix/bin/elab-load" ] || fail "no bin/elab-load under the prefix"
gzip -dc "$prefix/share/man/man1/elab.1.gz" | cmp -s "$source/doc/elab.1" - ||
  fail "share/man/man1/elab.1.gz missing or not the page of doc/"

elab=$prefix/bin/elab
mkdir "$scratch/run"
run_elab "$scratch/run" "$source/examples/prices.txt" "$readme_answers"
cmp "$scratch/run/elab.dat" "$source/tests/golden/prices_readme.dat" ||
  fail "the installed program wrote another elab.dat"
echo "ok: installed under $prefix"
