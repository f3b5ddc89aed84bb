#!/usr/bin/env bash
# Mutation testing: plants one fault at a time (scripts/mutations.txt), rebuilds,
# runs the whole test suite and tells whether the suite noticed.
#
#   scripts/mutate.sh                 every mutation of the list
#   scripts/mutate.sh 1 4 7-9         only these (numbers as --list shows them)
#   scripts/mutate.sh --list          the numbered list, with STALE marked
#   scripts/mutate.sh --no-baseline   skip the check that the unchanged tree passes
#
# Environment:
#   QM_MUTATE_BUILD    build folder (default build/dev, configured with
#                      `cmake --preset dev` when it has no build files yet)
#   QM_MUTATE_LIST     the list file (default scripts/mutations.txt)
#   QM_MUTATE_TARGETS  build only these targets (default: everything)
#   QM_MUTATE_CTEST    extra ctest arguments, e.g. "-R sync_tests" for a quick trial
#   QM_MUTATE_JOBS     parallel build and test jobs (default 2)
#   QM_MUTATE_TIMEOUT  seconds per test before it counts as failed (default 300)
#
# A mutation is KILLED when the build fails or a test fails, SURVIVED when
# everything passes, STALE when its text does not occur exactly once (the code
# moved on; the list needs updating). The mutated file is always restored from a
# copy taken before the change, also on Ctrl-C or an error; it gets a fresh
# modification time so the next build compiles the original again.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

BUILD=${QM_MUTATE_BUILD:-build/dev}
LIST=${QM_MUTATE_LIST:-scripts/mutations.txt}
JOBS=${QM_MUTATE_JOBS:-2}
TIMEOUT=${QM_MUTATE_TIMEOUT:-300}
read -r -a TARGETS <<<"${QM_MUTATE_TARGETS:-}"
read -r -a CTEST_EXTRA <<<"${QM_MUTATE_CTEST:-}"

LIST_ONLY=0
BASELINE=1
SELECTION=()
for arg in "$@"; do
  case "$arg" in
    --list) LIST_ONLY=1 ;;
    --no-baseline) BASELINE=0 ;;
    -h | --help)
      sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    *[!0-9-]* | -* | "")
      echo "mutate.sh: unknown argument '$arg' (see --help)" >&2
      exit 2
      ;;
    *-*) for ((n = ${arg%-*}; n <= ${arg#*-}; n++)); do SELECTION+=("$n"); done ;;
    *) SELECTION+=("$arg") ;;
  esac
done

[[ -f "$LIST" ]] || { echo "mutate.sh: no list file $LIST" >&2; exit 2; }
WORK=$(mktemp -d "${TMPDIR:-/tmp}/qm-mutate.XXXXXX")

# The list and the file edits are done in Python: exact text, no regular
# expressions, no shell quoting of the find texts.
helper() {
  python3 - "$@" <<'PY'
import os, sys

def unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text) and text[i + 1] in "tn\\":
            out.append({"t": "\t", "n": "\n", "\\": "\\"}[text[i + 1]])
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)

def mutations(path):
    rows = []
    with open(path, encoding="utf-8") as f:
        for line_no, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields) != 4:
                sys.exit(f"{path}:{line_no}: expected 4 tab-separated fields, found {len(fields)}")
            rows.append((fields[0], unescape(fields[1]), unescape(fields[2]), fields[3]))
    return rows

def read(path):
    with open(path, encoding="utf-8", newline="") as f:
        return f.read()

def write(path, text):
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(text)

command, args = sys.argv[1], sys.argv[2:]
if command == "count":
    print(len(mutations(args[0])))
elif command == "show":  # number -> "file<TAB>status<TAB>description"
    file, find, _, description = mutations(args[0])[int(args[1]) - 1]
    found = read(file).count(find) if os.path.isfile(file) else 0
    status = "ok" if find and found == 1 else f"STALE (found {found} times)"
    print(f"{file}\t{status}\t{description}")
elif command == "apply":  # list number backup
    file, find, replace, _ = mutations(args[0])[int(args[1]) - 1]
    text = read(file)
    if not find or text.count(find) != 1:
        sys.exit(3)
    write(args[2], text)
    write(file, text.replace(find, replace, 1))
elif command == "restore":  # list number backup
    file, find, replace, _ = mutations(args[0])[int(args[1]) - 1]
    original = read(args[2])
    current = read(file)
    if current == original.replace(find, replace, 1):
        write(file, original)  # a fresh modification time: the next build recompiles it
    elif replace and current.count(replace) == 1:
        # Someone edited the file meanwhile: take back only the mutation.
        write(file, current.replace(replace, find, 1))
        print(f"mutate.sh: {file} changed during the run; reverted only the mutation",
              file=sys.stderr)
    elif current == original:
        pass
    else:
        sys.exit(f"mutate.sh: could not restore {file} safely; the original is in {args[2]}")
PY
}

COUNT=$(helper count "$LIST") || exit 2
if ((${#SELECTION[@]} == 0)); then
  for ((n = 1; n <= COUNT; n++)); do SELECTION+=("$n"); done
fi
for n in "${SELECTION[@]}"; do
  if ((n < 1 || n > COUNT)); then
    echo "mutate.sh: no mutation $n (the list has $COUNT)" >&2
    exit 2
  fi
done

if ((LIST_ONLY)); then
  for n in "${SELECTION[@]}"; do
    IFS=$'\t' read -r file status description < <(helper show "$LIST" "$n")
    printf '%3d  %-28s %-34s %s\n' "$n" "$status" "$file" "$description"
  done
  exit 0
fi

# The mutation currently applied, so that any exit restores it.
ACTIVE=""
restore() {
  if [[ -n "$ACTIVE" ]]; then
    helper restore "$LIST" "$ACTIVE" "$WORK/backup" || echo "mutate.sh: RESTORE FAILED for mutation $ACTIVE" >&2
    ACTIVE=""
  fi
}
trap 'restore' EXIT
trap 'echo; echo "mutate.sh: interrupted" >&2; restore; exit 130' INT TERM HUP

build() {
  if [[ ! -f "$BUILD/build.ninja" ]]; then
    if [[ "$BUILD" == "build/dev" ]]; then
      cmake --preset dev || return 1
    else
      echo "mutate.sh: $BUILD is not a configured build folder" >&2
      return 1
    fi
  fi
  local targets=()
  ((${#TARGETS[@]})) && targets=(--target "${TARGETS[@]}")
  cmake --build "$BUILD" -j "$JOBS" "${targets[@]}"
}

run_tests() {
  ctest --test-dir "$BUILD" -j "$JOBS" --timeout "$TIMEOUT" --output-on-failure \
    --no-tests=error "${CTEST_EXTRA[@]}"
}

if ((BASELINE)); then
  echo "== baseline: the unchanged tree must build and pass"
  if ! build >"$WORK/baseline.log" 2>&1 || ! run_tests >>"$WORK/baseline.log" 2>&1; then
    echo "mutate.sh: the unchanged tree fails; see $WORK/baseline.log" >&2
    exit 1
  fi
fi

RESULTS=()
KILLED=0
RAN=0
STALE=0
for n in "${SELECTION[@]}"; do
  IFS=$'\t' read -r file status description < <(helper show "$LIST" "$n")
  log="$WORK/mutation-$n.log"
  if [[ "$status" != ok ]]; then
    RESULTS+=("$(printf '%3d  %-9s %-34s %s (%s)' "$n" STALE "$file" "$description" "$status")")
    ((STALE++))
    continue
  fi
  echo "== mutation $n: $description ($file)"
  ACTIVE=$n
  if ! helper apply "$LIST" "$n" "$WORK/backup"; then
    ACTIVE=""
    RESULTS+=("$(printf '%3d  %-9s %-34s %s' "$n" STALE "$file" "$description")")
    ((STALE++))
    continue
  fi
  if ! build >"$log" 2>&1; then
    verdict="KILLED"
    how="build fails"
  elif ! run_tests >>"$log" 2>&1; then
    verdict="KILLED"
    how=$(grep -E '^\s*[0-9]+ - .*\((Failed|Timeout|SEGFAULT|Subprocess aborted|Exception)' "$log" |
      sed -E 's/^\s*[0-9]+ - //; s/ \(.*//' | head -3 | paste -sd, -)
    how="fails: ${how:-see log}"
  else
    verdict="SURVIVED"
    how="all tests pass"
  fi
  restore
  ((RAN++))
  [[ "$verdict" == KILLED ]] && ((KILLED++))
  echo "   $verdict ($how)"
  RESULTS+=("$(printf '%3d  %-9s %-34s %s — %s' "$n" "$verdict" "$file" "$description" "$how")")
done

# Leave the build folder compiled from the original sources.
if ((RAN > 0)); then
  build >"$WORK/final-build.log" 2>&1 || echo "mutate.sh: rebuilding the original failed; see $WORK/final-build.log" >&2
fi

echo
printf '%3s  %-9s %-34s %s\n' "#" "RESULT" "FILE" "MUTATION"
printf '%s\n' "${RESULTS[@]}"
echo
if ((STALE > 0)); then
  echo "$KILLED of $RAN mutations killed ($STALE stale, not run)"
else
  echo "$KILLED of $RAN mutations killed"
fi
echo "logs: $WORK"
((KILLED == RAN && STALE == 0))
