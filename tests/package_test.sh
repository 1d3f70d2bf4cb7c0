# The .deb, unpacked with dpkg -x, and the .tar.gz hold the program, the
# loader, their manual pages and the documents; the program and the loader
# (with numpy) run from the .deb; lintian, where installed, finds no error.
# package_test.sh CPACK BUILD_DIR SOURCE_DIR
cpack=$1
build=$2
source=$3
. "$(dirname "$0")/support/tool_test.sh"
command -v dpkg >/dev/null || skip "no dpkg on this system"

(cd "$scratch" && "$cpack" --config "$build/CPackConfig.cmake" -G "DEB;TGZ" -B "$scratch/packages" \
  > cpack.log 2>&1) || fail "cpack failed: $(cat "$scratch/cpack.log")"

files="bin/elab bin/elab-load share/man/man1/elab.1.gz share/man/man1/elab-load.1.gz
share/doc/elab/README.md share/doc/elab/copyright share/doc/elab/changelog.gz"
deb=$(ls "$scratch"/packages/*.deb)
root=$scratch/root
dpkg -x "$deb" "$root" || fail "dpkg -x $deb failed"
for f in $files; do
  [ -f "$root/usr/$f" ] || fail "usr/$f missing from $(basename "$deb")"
done
[ "$(dpkg-deb -f "$deb" Package)" = elab ] || fail "the .deb is not the package elab"

elab=$root/usr/bin/elab
mkdir "$scratch/run"
run_elab "$scratch/run" "$source/examples/prices.txt" "$readme_answers"
cmp "$scratch/run/elab.dat" "$source/tests/golden/prices_readme.dat" ||
  fail "the program of the .deb wrote another elab.dat"
if /usr/bin/python3 -c 'import numpy' 2>/dev/null; then
  /usr/bin/python3 "$root/usr/bin/elab-load" "$scratch/run/elab.dat" > "$scratch/load.txt" ||
    fail "elab-load of the .deb failed on elab.dat"
  grep -q "layout A" "$scratch/load.txt" || fail "elab-load did not tell layout A: $(cat "$scratch/load.txt")"
fi

! command -v lintian >/dev/null || lintian --fail-on error "$deb" > "$scratch/lintian.txt" 2>&1 ||
  fail "lintian finds errors in $(basename "$deb"): $(cat "$scratch/lintian.txt")"

listing=$(tar -tzf "$scratch"/packages/*.tar.gz) || fail "the .tar.gz cannot be read"
for f in $files; do
  echo "$listing" | grep -q "/$f\$" || fail "$f missing from the .tar.gz"
done
echo "ok: $(basename "$deb") runs from $root"
