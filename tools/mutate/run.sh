#!/usr/bin/env bash
# Seeds faults into a copy of the sources, one at a time, and runs the test
# suite on each to see whether it notices:
#   tools/mutate/run.sh [--check] [--rev REV] [FAULTS]
# FAULTS (default: faults.txt beside this script) holds one fault a line,
#   FILE: TEXT AS IT STANDS => TEXT WITH THE FAULT
# with <NL> for a line break. --check only verifies that each text stands
# exactly once in its file. --rev takes the sources as committed at REV
# instead of the working tree. Prints a line a fault: caught (with the tests
# that failed), SURVIVED, or not-compiled (the compiler refused it, so no test
# was needed), then counts.
# The copy and its build live in $MUTATE_DIR (default /tmp/lumivane-mutate); a
# copy already there is used as it is, so a run can be resumed on the same
# sources. The install test is left out: it runs no program, so no fault in
# the sources can show there. $MUTATE_TESTS, a ctest regular expression, builds
# and runs only the tests it matches (the driver's faults against libindi 2.x:
# MUTATE_TESTS=test_indi, and PKG_CONFIG_PATH naming that libindi's
# lib/pkgconfig).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
check=no
rev=""
if [ "${1:-}" = --check ]; then check=yes; shift; fi
if [ "${1:-}" = --rev ]; then rev=$2; shift 2; fi
faults=${1:-$root/tools/mutate/faults.txt}
work=${MUTATE_DIR:-/tmp/lumivane-mutate}
only=()
if [ -n "${MUTATE_TESTS:-}" ]; then only=(-R "$MUTATE_TESTS"); fi
jobs=$(nproc)

if [ $check = no ]; then
  if [ ! -d "$work/tree" ]; then
    mkdir -p "$work/tree"
    if [ -n "$rev" ]; then
      git -C "$root" archive "$rev" | tar -C "$work/tree" -xf -
    else
      (cd "$root" && git ls-files -co --exclude-standard | while IFS= read -r f; do
        [ -e "$f" ] && printf '%s\0' "$f"
      done | tar --null -T - -cf -) | tar -C "$work/tree" -xf -
    fi
  fi
  # Unoptimised, without debug information and linked by lld: each fault
  # rebuilds and relinks every test program, and this keeps that short.
  cmake -S "$work/tree" -B "$work/build" -DCMAKE_BUILD_TYPE=None \
    -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld >/dev/null
  # The programs and the test programs, named as their tests are.
  mapfile -t targets < <(ctest --test-dir "$work/build" -N "${only[@]}" | awk '/Test +#/ && $3 != "test_install" {print $3}')
  targets+=(lumivane lumivane-sim)
  cmake --build "$work/build" -j"$jobs" --target "${targets[@]}" >/dev/null
  tree=$work/tree
else
  tree=$root
fi
# Without a fault the suite must pass, or every fault would count as caught.
if [ $check = no ] && ! ctest --test-dir "$work/build" -j"$jobs" "${only[@]}" -E test_install >/dev/null 2>&1; then
  echo "the suite fails without any fault; see ctest --test-dir $work/build" >&2
  exit 1
fi

# The quicker tests first, and the desktop test, the slowest, only when they
# all pass: a running test is not stopped when another one fails.
run_suite() {
  if [ ${#only[@]} -gt 0 ]; then
    ctest --test-dir "$work/build" -j"$jobs" "${only[@]}" -E test_install 2>&1
    return
  fi
  ctest --test-dir "$work/build" -j"$jobs" -E "test_install|test_desktop" --stop-on-failure 2>&1 &&
    ctest --test-dir "$work/build" -R test_desktop 2>&1
}

declare -A count=([caught]=0 [SURVIVED]=0 [not-compiled]=0 [not-found]=0)
while IFS= read -r line; do
  [[ -z $line || $line == \#* ]] && continue
  by=""
  file=${line%%: *}
  rest=${line#*: }
  from=${rest%% => *}
  to=${rest#* => }
  from=${from//<NL>/$'\n'}
  to=${to//<NL>/$'\n'}
  path=$tree/$file
  content=$(cat "$path"; printf x)
  content=${content%x}
  after=${content#*"$from"}
  if [[ $after == "$content" || $after == *"$from"* ]]; then
    result=not-found
  elif [ $check = yes ]; then
    continue
  else
    cp "$path" "$path.orig"
    printf '%s' "${content/"$from"/"$to"}" >"$path"
    if ! cmake --build "$work/build" -j"$jobs" --target "${targets[@]}" >/dev/null 2>&1; then
      result=not-compiled
    elif report=$(run_suite); then
      result=SURVIVED
    else
      result=caught
      by=$(sed -n '/Not Run/!s/^[[:space:]]*[0-9]* - \([a-z_]*\) (.*/\1/p' <<<"$report" | paste -sd, -)
    fi
    mv "$path.orig" "$path"
    touch "$path"
  fi
  count[$result]=$((count[$result] + 1))
  printf '%-12s %s%s\n' "$result" "$line" "${by:+   [by $by]}"
done <"$faults"
[ $check = yes ] && { [ "${count[not-found]}" -eq 0 ] && echo "every fault applies"; exit 0; }
cmake --build "$work/build" -j"$jobs" --target "${targets[@]}" >/dev/null
echo "caught ${count[caught]}, survived ${count[SURVIVED]}, not compiled ${count[not-compiled]}, not found ${count[not-found]}"
