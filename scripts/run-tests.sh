#!/usr/bin/env bash
# Runs the test stages and ends with a pass/fail summary.
#   run-tests.sh BUILD FUZZ_SECONDS JOBS [stage...]
# Stages: host (unit tests under ASan/UBSan), fuzz (libFuzzer smoke runs),
# java (the loader), reproducible (a second build gives the same bytes),
# binaries (what the built DLLs contain, scripts/check-binaries.sh),
# wine32 and wine64 (each DLL under Wine of its width and Xvfb; wine is
# both), arm64 (the ARM64 DLL under emulated arm64 Wine). Default: all. A
# stage that exits with 77 could not run here: it is SKIPPED.
set -uo pipefail
build="$1"; fuzz_seconds="$2"; jobs="$3"; shift 3
stages=("$@")
[ ${#stages[@]} -eq 0 ] && stages=(host fuzz java reproducible binaries wine arm64)
# "wine" is the suite under both widths.
expanded=()
for stage in "${stages[@]}"; do
  if [ "$stage" = wine ]; then expanded+=(wine32 wine64); else expanded+=("$stage"); fi
done
stages=("${expanded[@]}")
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

declare -A result
failed=0
skipped=0
quiet=(-DCMAKE_RULE_MESSAGES=OFF --log-level=WARNING)

run_stage() {
  local name="$1"; shift
  echo
  echo "=== $name"
  local start=$SECONDS
  "$@"
  local status=$?
  if [ $status -eq 0 ]; then
    result[$name]="passed ($((SECONDS - start)) s)"
  elif [ $status -eq 77 ]; then
    result[$name]="SKIPPED"
    skipped=1
  else
    result[$name]="FAILED ($((SECONDS - start)) s)"
    failed=1
  fi
}

host_stage() {
  cmake -S . -B "$build/host" -DVANTREL_HOST=ON -DCMAKE_BUILD_TYPE=Debug "${quiet[@]}" &&
    cmake --build "$build/host" -j "$jobs" &&
    ctest --test-dir "$build/host" -j "$jobs" --output-on-failure --no-tests=error
}

fuzz_stage() {
  cmake -S . -B "$build/fuzz" -DVANTREL_FUZZ=ON -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo "${quiet[@]}" &&
    cmake --build "$build/fuzz" -j "$jobs" || return 1
  local ok=0 fuzzer name corpus seeds
  for fuzzer in $(find "$build/fuzz" -maxdepth 1 -type f -name '*_fuzz' | sort); do
    name=$(basename "$fuzzer")
    corpus="$build/fuzz/corpus/$name"
    mkdir -p "$corpus"
    seeds=$(find tests -type d -path "*/corpus/$name" | head -n 1)
    echo "--- $name for ${fuzz_seconds} s"
    if ! "$fuzzer" -max_total_time="$fuzz_seconds" -print_final_stats=0 "$corpus" ${seeds:+"$seeds"} \
        -artifact_prefix="$build/fuzz/" 2>"$build/fuzz/$name.log"; then
      tail -n 40 "$build/fuzz/$name.log"
      ok=1
    else
      grep -E '^(#[0-9]+\s+DONE|Done)' "$build/fuzz/$name.log" | tail -n 1
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
  java -jar "$junit" --disable-banner --details=summary --disable-ansi-colors --fail-if-no-tests \
    --class-path "$out/classes:$jar:$osgi" --scan-class-path "$out/classes" --reports-dir "$out/reports"
}

# The Wine suite of one build tree (win32 or win64), under Wine of the same
# width in the tree's own prefix: the test programs are built here, not by
# `make`.
wine_stage() {
  local tree="$1"
  local prefix="$root/$build/$tree/wineprefix"
  cmake --build "$build/$tree" -j "$jobs" || return 1
  scripts/wine-prefix.sh "$prefix" "$tree" || return 1
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    export WINEPREFIX="$1" WINEARCH="$2" WINEDEBUG=-all
    wineserver -p 5
    ctest --test-dir "$3" --output-on-failure --no-tests=error --timeout 180
    status=$?
    wineserver -k 2>/dev/null
    exit $status' _ "$prefix" "$tree" "$build/$tree"
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

for stage in "${stages[@]}"; do
  case "$stage" in
    host) run_stage host host_stage ;;
    fuzz) run_stage fuzz fuzz_stage ;;
    java) run_stage java java_stage ;;
    reproducible) run_stage reproducible reproducible_stage ;;
    binaries) run_stage binaries scripts/check-binaries.sh "$build" ;;
    wine32) run_stage wine32 wine_stage win32 ;;
    wine64) run_stage wine64 wine_stage win64 ;;
    arm64) run_stage arm64 scripts/arm64-wine.sh "$build" "$jobs" ;;
    *) echo "unknown stage $stage"; exit 2 ;;
  esac
done

echo
echo "=== Summary"
for stage in "${stages[@]}"; do
  printf '  %-12s %s\n' "$stage" "${result[$stage]}"
done
if [ $failed -ne 0 ]; then
  echo "make test: FAILED"
  exit 1
fi
if [ $skipped -ne 0 ]; then
  echo "make test: passed, but not all stages ran (SKIPPED above)"
  exit 0
fi
echo "make test: all passed"
