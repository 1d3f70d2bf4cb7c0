# Each folder includes only what it may (doc/design.md): number text and
# the platform only themselves, the units no core and no front end, the
# core, its public headers, the Python module and the page no front end
# (the console is the front end's); only the platform includes system headers
# (a compiler's intrinsics are not the system's).
# layout_test.sh SOURCE_DIR
source=$1
. "$(dirname "$0")/support/tool_test.sh"

cd "$source" || fail "no $source"
# may FOLDER ALLOWED...: FOLDER includes from the ALLOWED folders only.
may() {
  folder=$1 && shift
  allowed=$(printf '%s/\\|' "$@")
  bad=$(grep -rn '#include "' "$folder" | grep -v "#include \"\\(${allowed%\\|}\\)")
  [ -z "$bad" ] || fail "$folder includes what it may not: $bad"
}
may src/platform platform
may src/numtext numtext
may src/units units numtext platform
may src/core core elab units numtext platform
may include/elab elab numtext
may src/cli cli core elab units numtext platform
may python elab units numtext
may web elab core units numtext

system=$(grep -rn '#include <[a-z_/]*\.h>' src include | grep -v '^src/platform/' | grep -v 'intrin\.h>')
[ -z "$system" ] || fail "system headers outside src/platform: $system"
echo "ok: the includes keep to the layout"
