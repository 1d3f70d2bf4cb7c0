# The packages hold what they promise: the .deb, unpacked into a scratch
# root with dpkg -x, gives the program, its manual page and the README, and
# the program runs from there on the example; the .tar.gz holds the same.
# package_test.sh CPACK BUILD_DIR SOURCE_DIR
cpack=$1
build=$2
source=$3
. "$(dirname "$0")/support/tool_test.sh"
command -v dpkg >/dev/null || skip "no dpkg on this system"

(cd "$scratch" && "$cpack" --config "$build/CPackConfig.cmake" -G "DEB;TGZ" -B "$scratch/packages" \
  > cpack.log 2>&1) || fail "cpack failed: $(cat "$scratch/cpack.log")"

deb=$(ls "$scratch"/packages/*.deb)
root=$scratch/root
dpkg -x "$deb" "$root" || fail "dpkg -x $deb failed"
for f in usr/bin/elab usr/share/man/man1/elab.1 usr/share/doc/elab/README.md; do
  [ -f "$root/$f" ] || fail "$f missing from $(basename "$deb")"
done
[ "$(dpkg-deb -f "$deb" Package)" = elab ] || fail "the .deb is not the package elab"

elab=$root/usr/bin/elab
mkdir "$scratch/run"
run_elab "$scratch/run" "$source/examples/prices.txt" "$readme_answers"
cmp "$scratch/run/elab.dat" "$source/tests/golden/prices_readme.dat" ||
  fail "the program of the .deb wrote another elab.dat"

listing=$(tar -tzf "$scratch"/packages/*.tar.gz) || fail "the .tar.gz cannot be read"
for f in bin/elab share/man/man1/elab.1 share/doc/elab/README.md; do
  echo "$listing" | grep -q "/$f\$" || fail "$f missing from the .tar.gz"
done
echo "ok: $(basename "$deb") runs from $root"
