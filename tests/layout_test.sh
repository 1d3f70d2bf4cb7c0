# Each folder includes only what it may (doc/design.md): the public
# headers only themselves, and each compiles alone with only include/ on
# the path; the platform only itself, number text and the units the
# public vocabulary besides, the core, the public headers, the Python
# module and the page no front end (the console is the front end's); only the platform
# includes system headers (a compiler's intrinsics are not the system's).
# No folder's files include one another in a circle: a file's header and
# its source count as one.
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
may src/numtext numtext elab
may src/units units numtext platform elab
may src/core core elab units numtext platform
may include/elab elab
may src/cli cli core elab units numtext platform
may python elab numtext
may web elab core units numtext

# The folder's own includes as "includer included", a file by its stem.
own_includes() {
  folder=$1 name=$(basename "$1")
  for f in "$folder"/*.cpp "$folder"/*.hpp; do
    [ -e "$f" ] || continue
    stem=$(basename "$f") && stem=${stem%.*}
    sed -n "s|^#include \"$name/\([^\"]*\)\.hpp\"|\1|p" "$f" | while read -r to; do
      [ "$to" = "$stem" ] || echo "$stem $to"
    done
  done
}
for folder in src/* include/elab web; do
  loop=$(own_includes "$folder" | tsort 2>&1 > /dev/null | grep -v 'input contains a loop' | sed 's/^tsort: //' | tr '\n' ' ')
  [ -z "$loop" ] || fail "$folder includes in a circle: $loop"
done

compiler=${CXX:-c++}
if command -v "$compiler" > /dev/null; then
  for header in include/elab/*.hpp; do
    printf '#include "elab/%s"\n' "$(basename "$header")" |
      "$compiler" -std=c++20 -fsyntax-only -Wall -Werror -I include -x c++ - 2> "$scratch/alone" ||
      fail "$header does not compile alone with only include/: $(head -5 "$scratch/alone")"
  done
fi

system=$(grep -rn '#include <[a-z_/]*\.h>' src include | grep -v '^src/platform/' | grep -v 'intrin\.h>')
[ -z "$system" ] || fail "system headers outside src/platform: $system"
echo "ok: the includes keep to the layout"
