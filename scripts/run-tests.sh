#!/usr/bin/env bash
# Runs the test stages and ends with a summary: each stage's result, how it
# ran and its time.
#   run-tests.sh BUILD FUZZ_SECONDS JOBS [stage...]
# Stages (default: all): host (unit tests under ASan/UBSan), fuzz (libFuzzer
# runs, side by side), java (the loader), reproducible (a second build gives
# the same bytes), binaries (what the built DLLs contain,
# scripts/check-binaries.sh), wine32 and wine64 (each DLL under Wine of its
# width and Xvfb; "wine" is both), arm64 (the ARM64 DLL under emulated arm64
# Wine, scripts/arm64-wine.sh).
#
# The stages of one lane run one after another; the lanes run side by side,
# each stage writing to $BUILD/logs/STAGE.log, which is shown when the stage
# ends. The Wine stages spend much of their time waiting for windows and
# child processes, so the others compile meanwhile.
#
# wine32 runs natively where the kernel runs 32-bit code, otherwise under
# qemu's i386 emulation (scripts/i386.sh); VANTREL_EMULATE_I386=1 forces the
# emulation. A stage that cannot run at all says SKIPPED with the reason, and
# the summary then never says that all passed.
set -uo pipefail
build="$1"; fuzz_seconds="$2"; jobs="$3"; shift 3
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

# name          lane     command
stage_table=(
  "host         checks   host_stage"
  "fuzz         checks   fuzz_stage"
  "java         checks   java_stage"
  "reproducible checks   reproducible_stage"
  "binaries     checks   binaries_stage"
  "wine32       wine32   wine_stage win32"
  "wine64       wine64   wine_stage win64"
  "arm64        wine64   arm64_stage"
)

quiet=(-DCMAKE_RULE_MESSAGES=OFF --log-level=WARNING)
logs="$build/logs"

host_stage() {
  cmake -S . -B "$build/host" -DVANTREL_HOST=ON -DCMAKE_BUILD_TYPE=Debug "${quiet[@]}" &&
    cmake --build "$build/host" -j "$jobs" &&
    ctest --test-dir "$build/host" -j "$jobs" --output-on-failure --no-tests=error
}

# Every fuzzer at once, each for FUZZ_SECONDS.
fuzz_stage() {
  cmake -S . -B "$build/fuzz" -DVANTREL_FUZZ=ON -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo "${quiet[@]}" &&
    cmake --build "$build/fuzz" -j "$jobs" || return 1
  local fuzzer name corpus seeds ok=0
  local -A pids
  for fuzzer in $(find "$build/fuzz" -maxdepth 1 -type f -name '*_fuzz' | sort); do
    name=$(basename "$fuzzer")
    corpus="$build/fuzz/corpus/$name"
    mkdir -p "$corpus"
    seeds=$(find tests -type d -path "*/corpus/$name" | head -n 1)
    "$fuzzer" -max_total_time="$fuzz_seconds" -print_final_stats=0 "$corpus" ${seeds:+"$seeds"} \
      -artifact_prefix="$build/fuzz/" 2>"$build/fuzz/$name.log" &
    pids[$name]=$!
  done
  for name in $(printf '%s\n' "${!pids[@]}" | sort); do
    if wait "${pids[$name]}"; then
      echo "--- $name for ${fuzz_seconds} s: $(grep -E '^(#[0-9]+\s+DONE|Done)' "$build/fuzz/$name.log" | tail -n 1)"
    else
      echo "--- $name FAILED:"
      tail -n 40 "$build/fuzz/$name.log"
      ok=1
    fi
  done
  return $ok
}

# The Java tests (JUnit 5) against the jar in DIST (default dist/).
java_stage() {
  local out="$build/java-test" jar="${DIST:-dist}/vantrel.jar"
  local junit=/usr/share/java/junit-platform-console-standalone.jar
  # Equinox, the OSGi framework the jar is tried in as a bundle.
  local osgi=/usr/share/java/eclipse-osgi.jar
  rm -rf "$out" && mkdir -p "$out" &&
    javac --release 8 -Xlint:all,-options -Werror -encoding UTF-8 -cp "$jar:$junit:$osgi" -d "$out/classes" \
      $(find tests/java -name '*.java' | LC_ALL=C sort) || return 1
  # The loader's tests judge folders by their rights and name paths outside
  # ASCII: a group-writable umask or a C locale would change what they see.
  (umask 022 && LC_ALL=C.UTF-8 exec java -jar "$junit" --disable-banner --details=summary --disable-ansi-colors \
    --fail-if-no-tests --class-path "$out/classes:$jar:$osgi" --scan-class-path "$out/classes" --reports-dir "$out/reports")
}

# Two builds of the same sources give the same bytes: the DLLs are built
# again from nothing in another tree and packaged there, and every file must
# match what dist/ holds.
reproducible_stage() {
  local again="$build/again"
  rm -rf "$again"
  make -s dlls BUILD="$again" JOBS="$jobs" >/dev/null &&
    scripts/package.sh "$again" "$again/dist" >/dev/null || return 1
  if diff -r -q dist "$again/dist"; then
    echo "a second build from nothing gives the same $(find dist -type f | wc -l) files in dist/"
    rm -rf "$again"
  else
    return 1
  fi
}

# The Wine suite of one build tree (win32 or win64), under Wine of the same
# width in the tree's own prefix: the test programs are built here, not by
# `make`. Says how it ran in $note; returns 77 when it cannot run.
wine_stage() {
  local tree="$1" run=() timeout=300
  if [ "$tree" = win64 ]; then
    note="native"
  elif [ ! -x /usr/lib/wine/wine ]; then
    note="wine32:i386 is not installed"
    return 77
  elif [ "$(scripts/i386.sh mode)" = native ]; then
    note="native"
  elif ! scripts/i386.sh qemu >/dev/null; then
    note="this kernel runs no 32-bit code, and qemu-i386 10 could not be had"
    [ "${VANTREL_EMULATE_I386:-0}" = 1 ] && note="emulation forced, and qemu-i386 10 could not be had"
    return 77
  else
    note="emulated: $("$(scripts/i386.sh qemu)" --version | head -n 1 | sed 's/ version / /')"
    run=(scripts/i386.sh run "$build/i386" env VANTREL_EMULATED=1)
    # Emulated, a test program takes several times as long.
    timeout=1200
  fi
  cmake --build "$build/$tree" -j "$jobs" || return 1
  "${run[@]}" scripts/wine-stage.sh "$build/$tree" "$tree" "$timeout"
  local status=$?
  [ $status -eq 77 ] && note="no private binfmt_misc for qemu-i386 here (see the log)"
  return $status
}

binaries_stage() {
  scripts/check-binaries.sh "$build"
}

# The ARM64 DLL and the x86-64 one must give the same transcript; the script
# says SKIPPED and why where this machine cannot run arm64 Wine.
arm64_stage() {
  scripts/arm64-wine.sh "$build" "$jobs"
  local status=$?
  [ $status -eq 77 ] && note=$(sed -n 's/.*SKIPPED:* *//p' "$logs/arm64.log" | head -n 1)
  return $status
}

# The gtest output of the first test that failed in a log, JUnit's list of
# failures, or the log's end.
first_failure() {
  local log="$1" test
  test=$(sed -n 's/^\[  FAILED  \] \([^ ,]*\)[, ].*([0-9]* ms)$/\1/p' "$log" | head -n 1)
  if grep -q '^Failures ([0-9]*):$' "$log"; then
    sed -n '/^Failures ([0-9]*):$/,/^Test run finished/p' "$log" | head -n 40
  elif [ -n "$test" ]; then
    awk -v t="$test" '$0 == "[ RUN      ] " t { p = 1 } p { print } p && index($0, "[  FAILED  ] " t) == 1 { exit }' "$log"
  else
    tail -n 30 "$log"
  fi
}

# Runs one stage into its log and records "passed|FAILED|SKIPPED (how, N s)".
run_stage() {
  local name="$1"; shift
  local start=$SECONDS status note=""
  echo "--- $name started"
  "$@" >"$logs/$name.log" 2>&1
  status=$?
  local took="$((SECONDS - start)) s" verdict
  case $status in
    0) verdict="passed" ;;
    77) verdict="SKIPPED" ;;
    *) verdict="FAILED" ;;
  esac
  echo "$verdict (${note:+$note; }$took)" >"$logs/$name.result"
  {
    flock 9
    echo
    echo "=== $name: $verdict (${note:+$note; }$took)"
    cat "$logs/$name.log"
  } 9>"$logs/.print"
}

# The stages asked for, in the table's order ("wine" is both widths).
asked=("$@")
[ ${#asked[@]} -eq 0 ] && asked=(all)
stages=()
declare -A lane_of command_of
for row in "${stage_table[@]}"; do
  read -r name lane command <<<"$row"
  case " ${asked[*]} " in
    *" all "* | *" $name "* | *" ${name%32} "* | *" ${name%64} "*)
      stages+=("$name")
      lane_of[$name]=$lane
      command_of[$name]=$command
      ;;
  esac
done
for want in "${asked[@]}"; do
  case " all wine ${stages[*]} " in *" $want "*) ;; *) echo "unknown stage $want"; exit 2 ;; esac
done

mkdir -p "$logs"
rm -f "$logs"/*.result
lanes=$(for name in "${stages[@]}"; do echo "${lane_of[$name]}"; done | awk '!seen[$0]++')
started=$SECONDS
for lane in $lanes; do
  (
    for name in "${stages[@]}"; do
      # shellcheck disable=SC2086 # the command is words
      [ "${lane_of[$name]}" = "$lane" ] && run_stage "$name" ${command_of[$name]}
    done
  ) &
done
wait

echo
echo "=== Summary ($((SECONDS - started)) s)"
passed=0 failed=0 skipped=0 skips=""
for name in "${stages[@]}"; do
  result=$(cat "$logs/$name.result" 2>/dev/null || echo "FAILED (did not finish)")
  printf '  %-12s %s\n' "$name" "$result"
  case "$result" in
    passed*) passed=$((passed + 1)) ;;
    SKIPPED*) skipped=$((skipped + 1)); skips+="; $name ${result#SKIPPED }" ;;
    *) failed=$((failed + 1)) ;;
  esac
done
for name in "${stages[@]}"; do
  case "$(cat "$logs/$name.result" 2>/dev/null)" in
    passed*|SKIPPED*) ;;
    *)
      echo
      echo "=== $name: the first failure"
      first_failure "$logs/$name.log"
      ;;
  esac
done
echo
echo "stages: $passed passed, $failed failed, $skipped skipped"
if [ $failed -ne 0 ]; then
  echo "make test: FAILED"
  exit 1
fi
if [ $skipped -ne 0 ]; then
  case "$skips" in
    *wine32*) echo "make test: no stage failed, but the 32-bit DLL was NOT run (SKIPPED${skips#;})" ;;
    *) echo "make test: no stage failed, but not all ran (SKIPPED${skips#;})" ;;
  esac
  exit 0
fi
echo "make test: all passed"
