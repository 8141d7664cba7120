#!/usr/bin/env bash
# Mutation testing: how many single-line slips the tests catch.
#
#   scripts/mutation.sh [--list FILE] [--folder DIR]... [--mutant ID]... [--check]
#
# Each mutant of the list (scripts/mutants.txt; its head describes the form)
# is applied in turn to a copy of the sources in build-mutation/source, the
# test programs covering its folder are rebuilt incrementally in
# build-mutation/build and run, and the copy is restored, whatever happens
# (build failure, Ctrl-C). The checkout and its build/ are never touched, so
# they stay valid while this runs. Prints caught / survived per folder and
# the score; build and test output of every mutant is kept in
# build-mutation/logs. A mutant that does not compile counts neither way; one
# whose line is gone or no longer unique is reported as not applicable.
#
#   --folder DIR   only the mutants of that folder (as under src/, or a prefix
#                  of it: "convert" takes both convert folders); repeatable
#   --mutant ID    only that mutant; repeatable
#   --check        only say which mutants still apply, build nothing
#
# SQL tests run when the checkout's test server is up (scripts/sql-test-server.sh
# start, or M2K_SQL_STATE_DIR naming another one); otherwise they skip. Real
# Access samples come from M2K_SHARED_DIR, else from the folder build/ uses.
# Not part of CI: a mutant costs a rebuild and a test run.
set -uo pipefail
shopt -u patsub_replacement 2>/dev/null || true

root=$(cd "$(dirname "$0")/.." && pwd)
list="$root/scripts/mutants.txt"
work="$root/build-mutation"
src="$work/source"
bld="$work/build"
logs="$work/logs"
folders=()
only=()
check=false

die() { echo "mutation.sh: $*" >&2; exit 2; }

while [ $# -gt 0 ]; do
  case $1 in
    --list) list=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
    --folder) folders+=("${2%/}"); shift 2 ;;
    --mutant) only+=("$2"); shift 2 ;;
    --check) check=true; shift ;;
    -h|--help) sed -n '2,26p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) die "unknown option $1 (see --help)" ;;
  esac
done
[ -f "$list" ] || die "no mutant list $list"

# ---- the list ----------------------------------------------------------------
ids=() files=() finds=() replaces=() kinds=() tests=() equivalents=() hasReplace=()
n=-1
last=
lineNo=0
while IFS= read -r line || [ -n "$line" ]; do
  lineNo=$((lineNo + 1))
  [[ $line =~ ^# ]] && continue
  [[ -z ${line//[[:space:]]/} ]] && { last=; continue; }
  if [[ $line =~ ^[[:space:]] ]]; then
    # A continuation of the value above (long notes).
    [ -n "$last" ] || die "$list:$lineNo: continuation without a key"
    value=${line#"${line%%[![:space:]]*}"}
    case $last in
      equivalent) equivalents[n]+=" $value" ;;
      kind) kinds[n]+=" $value" ;;
      *) die "$list:$lineNo: only kind and equivalent continue on the next line" ;;
    esac
    continue
  fi
  key=${line%%[[:space:]]*}
  value=${line#"$key"}
  value=${value#"${value%%[![:space:]]*}"}
  if [ "$key" = mutant ]; then
    n=$((n + 1))
    ids[n]=$value files[n]= finds[n]= replaces[n]= kinds[n]= tests[n]= equivalents[n]= hasReplace[n]=
  else
    [ $n -ge 0 ] || die "$list:$lineNo: $key before the first mutant"
  fi
  case $key in
    mutant) ;;
    file) files[n]=$value ;;
    find) finds[n]=$value ;;
    replace) replaces[n]=$value; hasReplace[n]=1 ;;
    kind) kinds[n]=$value ;;
    tests) tests[n]=$value ;;
    equivalent) equivalents[n]=$value ;;
    *) die "$list:$lineNo: unknown key '$key'" ;;
  esac
  last=$key
done < "$list"
for ((i = 0; i <= n; i++)); do
  [ -n "${files[i]}" ] && [ -n "${finds[i]}" ] && [ -n "${hasReplace[i]}" ] ||
    die "mutant ${ids[i]}: file, find and replace are all needed"
done

folderOf() { echo "${1%/*}"; }

# The test program of a folder: one per top folder of src/ (tests/ mirrors src/).
defaultTests() {
  case $1 in
    base*) echo test_base ;; store*) echo test_store ;; convert*) echo test_convert ;;
    run*) echo test_run ;; host*) echo test_host ;; app*) echo test_app ;; *) echo "" ;;
  esac
}

selected() {
  local id=$1 f
  if [ ${#only[@]} -gt 0 ]; then
    for f in "${only[@]}"; do [ "$f" = "$id" ] && return 0; done
    return 1
  fi
  [ ${#folders[@]} -eq 0 ] && return 0
  for f in "${folders[@]}"; do [[ $id == "$f"/* ]] && return 0; done
  return 1
}

chosen=()
for ((i = 0; i <= n; i++)); do selected "${ids[i]}" && chosen+=("$i"); done
[ ${#chosen[@]} -gt 0 ] || die "no mutant matches the selection"
for f in "${only[@]}"; do
  found=false
  for i in "${chosen[@]}"; do [ "${ids[i]}" = "$f" ] && found=true; done
  $found || die "no mutant $f in $list"
done

# Where the mutant's text is in `file`: "" when it applies, else why not.
applicability() {
  local file=$1 find=$2 count
  [ -f "$file" ] || { echo "file gone"; return; }
  count=$(grep -cF -- "$find" "$file")
  [ "$count" = 1 ] && return
  [ "$count" = 0 ] && echo "line not found" || echo "text on $count lines"
}

if $check; then
  bad=0
  for i in "${chosen[@]}"; do
    why=$(applicability "$root/${files[i]}" "${finds[i]}")
    if [ -n "$why" ]; then
      printf '%-48s not applicable: %s (%s)\n' "${ids[i]}" "$why" "${files[i]}"
      bad=$((bad + 1))
    fi
  done
  echo "${#chosen[@]} mutants, $((${#chosen[@]} - bad)) applicable"
  exit 0
fi

# ---- the copy of the sources --------------------------------------------------
# Copies what differs from the checkout (new files included, ignored ones left
# out) with a fresh time stamp, so a file once left mutated is rebuilt, and
# removes what the checkout no longer has.
syncSources() {
  declare -A keep=()
  mkdir -p "$src"
  while IFS= read -r -d '' f; do
    [ -f "$root/$f" ] || continue
    keep[$f]=1
    if ! cmp -s "$root/$f" "$src/$f"; then
      mkdir -p "$src/$(dirname "$f")"
      cp "$root/$f" "$src/$f"
    fi
  done < <(git -C "$root" ls-files -z --cached --others --exclude-standard)
  while IFS= read -r -d '' f; do
    f=${f#"$src/"}
    [ -n "${keep[$f]:-}" ] || rm -f "$src/$f"
  done < <(find "$src" -type f -print0)
}

applied=  # the file of the copy that holds a mutant right now
backup="$work/original"
restore() {
  if [ -n "$applied" ]; then
    cp "$backup" "$applied"
    applied=
  fi
}
trap restore EXIT
trap 'restore; echo; echo "mutation.sh: interrupted, sources restored" >&2; exit 130' INT TERM

mkdir -p "$work" "$logs"
echo "Copying the sources to $src ..."
syncSources

shared=${M2K_SHARED_DIR:-}
if [ -z "$shared" ] && [ -f "$root/build/CMakeCache.txt" ]; then
  shared=$(sed -n 's/^M2K_SHARED_DIR:PATH=//p' "$root/build/CMakeCache.txt")
fi
[ -n "$shared" ] || shared="$root/../shared"
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$src" -B "$bld" -DCMAKE_BUILD_TYPE=Release -DM2K_BUILD_BENCH=OFF -DM2K_SHARED_DIR="$shared" \
  "${launcher[@]}" >"$logs/configure.log" 2>&1 || die "configure failed, see $logs/configure.log"

export M2K_SQL_STATE_DIR=${M2K_SQL_STATE_DIR:-$root/build/sql-test-server}
if [ -f "$M2K_SQL_STATE_DIR/env" ]; then
  echo "SQL tests use the server of $M2K_SQL_STATE_DIR"
else
  echo "No SQL test server running: the SQL tests skip (scripts/sql-test-server.sh start)"
fi

testsOf() { if [ -n "${tests[$1]}" ]; then echo "${tests[$1]}"; else defaultTests "$(folderOf "${ids[$1]}")"; fi; }

build() { cmake --build "$bld" -j2 --target "$@"; }

# Runs the test programs; 0 when all pass. Each is stopped after its limit.
declare -A limit=()
runTests() {
  local t
  for t in "$@"; do
    (cd "$bld" && timeout "${limit[$t]:-1800}" "bin/$t" --gtest_fail_fast --gtest_brief=1) || return 1
  done
}

# The unmutated sources first: the tests must pass there, or every mutant
# would look caught. Their times give each program its limit.
declare -A needed=()
for i in "${chosen[@]}"; do for t in $(testsOf "$i"); do needed[$t]=1; done; done
echo "Building and running the unmutated tests: ${!needed[*]} ..."
build "${!needed[@]}" >"$logs/baseline.log" 2>&1 || die "the unmutated sources do not build, see $logs/baseline.log"
for t in "${!needed[@]}"; do
  start=$SECONDS
  runTests "$t" >>"$logs/baseline.log" 2>&1 || die "$t fails without any mutant, see $logs/baseline.log"
  limit[$t]=$((3 * (SECONDS - start) + 60))
done

# ---- the mutants ---------------------------------------------------------------
declare -A caught=() survived=() broken=() gone=()
order=()
survivors=() unusable=()
count=0
for i in "${chosen[@]}"; do
  count=$((count + 1))
  id=${ids[i]}
  folder=$(folderOf "$id")
  [ -n "${caught[$folder]+x}" ] || { order+=("$folder"); caught[$folder]=0 survived[$folder]=0 broken[$folder]=0 gone[$folder]=0; }
  target="$src/${files[i]}"
  log="$logs/${id//\//_}.log"
  printf '[%2d/%d] %-48s ' "$count" "${#chosen[@]}" "$id"
  why=$(applicability "$target" "${finds[i]}")
  if [ -n "$why" ]; then
    echo "not applicable: $why"
    gone[$folder]=$((gone[$folder] + 1))
    unusable+=("$id: not applicable, $why in ${files[i]}")
    continue
  fi
  start=$SECONDS
  cp "$target" "$backup"
  applied=$target
  content=$(cat "$target"; printf x)
  content=${content%x}
  printf '%s' "${content/"${finds[i]}"/"${replaces[i]}"}" >"$target"
  read -r -a programs <<<"$(testsOf "$i")"
  {
    echo "mutant $id: ${files[i]}"
    echo "- ${finds[i]}"
    echo "+ ${replaces[i]}"
  } >"$log"
  if ! build "${programs[@]}" >>"$log" 2>&1; then
    echo "does not compile ($((SECONDS - start)) s)"
    broken[$folder]=$((broken[$folder] + 1))
    unusable+=("$id: does not compile")
  elif runTests "${programs[@]}" >>"$log" 2>&1; then
    echo "SURVIVED ($((SECONDS - start)) s)"
    survived[$folder]=$((survived[$folder] + 1))
    note=${equivalents[i]:+ (shown equivalent: ${equivalents[i]})}
    survivors+=("$id [${kinds[i]}] ${files[i]}: ${finds[i]}  ->  ${replaces[i]}$note")
  else
    echo "caught ($((SECONDS - start)) s)"
    caught[$folder]=$((caught[$folder] + 1))
  fi
  restore
done

# ---- the score -------------------------------------------------------------------
total() { local -n counts=$1; local s=0 f; for f in "${order[@]}"; do s=$((s + counts[$f])); done; echo "$s"; }
percent() { [ "$2" -gt 0 ] && awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f %%", 100 * a / b }' || echo "-"; }
echo
printf '%-18s %7s %9s %14s %15s %8s\n' folder caught survived "not compiled" "not applicable" score
for f in "${order[@]}"; do
  printf '%-18s %7d %9d %14d %15d %8s\n' "$f" "${caught[$f]}" "${survived[$f]}" "${broken[$f]}" "${gone[$f]}" \
    "$(percent "${caught[$f]}" $((caught[$f] + survived[$f])))"
done
c=$(total caught) s=$(total survived)
printf '%-18s %7d %9d %14d %15d %8s\n' total "$c" "$s" "$(total broken)" "$(total gone)" "$(percent "$c" $((c + s)))"
echo "score: $c caught of $((c + s)) mutants that compiled: $(percent "$c" $((c + s))) ($(date +%F), $(git -C "$root" rev-parse --short HEAD))"
if [ ${#survivors[@]} -gt 0 ]; then
  echo
  echo "Survivors:"
  printf '  %s\n' "${survivors[@]}"
fi
if [ ${#unusable[@]} -gt 0 ]; then
  echo
  echo "Not counted:"
  printf '  %s\n' "${unusable[@]}"
fi
