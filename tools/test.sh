#!/usr/bin/env bash
# Installs what is missing, builds everything twice with warnings as errors (the optimized build users run, as
# tools/start.sh builds it, and a build with AddressSanitizer and UBSan), starts a Firebird server on 127.0.0.1 for
# the multi-seat tests, runs every test with ctest in both builds, and runs each fuzz target of the file readers
# for a few seconds so that they keep compiling and their seeds keep passing (tools/fuzz.sh runs them longer). A
# format or clang-tidy finding in what changed fails it too (tools/check-style.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-packages.sh
cmake -S . -B build-rel -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRENVIK_TESTS=ON -DBRENVIK_WERROR=ON >/dev/null
cmake --build build-rel -j"$(nproc)"
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DBRENVIK_SANITIZE=ON -DBRENVIK_TESTS=ON -DBRENVIK_WERROR=ON >/dev/null
cmake --build build-test -j"$(nproc)"

started_server=""
stop_server() { [[ -n "$started_server" ]] && kill "$started_server" 2>/dev/null && wait "$started_server" 2>/dev/null; true; }
trap stop_server EXIT
# The server binds to "localhost"; a bare root file system may lack the standard hosts entry for it.
if ! getent hosts localhost >/dev/null; then
  echo "127.0.0.1 localhost" >> /etc/hosts
fi
if ! (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null; then
  setpriv --reuid=firebird --regid=firebird --init-groups /usr/sbin/firebird >/tmp/brenvik-firebird.log 2>&1 &
  started_server=$!
  for _ in $(seq 1 50); do (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null && break; sleep 0.2; done
fi
# The SYSDBA password the server package chose at installation.
if [[ -r /etc/firebird/3.0/SYSDBA.password ]]; then
  # shellcheck disable=SC1091
  source /etc/firebird/3.0/SYSDBA.password
  export BRENVIK_TEST_SERVER=127.0.0.1 BRENVIK_TEST_SERVER_USER="${ISC_USER:-SYSDBA}" BRENVIK_TEST_SERVER_PASSWORD="${ISC_PASSWORD:-}"
fi
export QT_QPA_PLATFORM=offscreen
# The Firebird client library keeps some allocations until the process ends; nothing of ours is suppressed.
export LSAN_OPTIONS="suppressions=$(pwd)/tests/lsan.supp:print_suppressions=0:use_tls=0"
export ASAN_OPTIONS="detect_leaks=1"
ctest_status=0
echo "== Tests im optimierten Build (build-rel)"
ctest --test-dir build-rel --output-on-failure -j2 --timeout 300 || ctest_status=$?
echo "== Tests im Sanitizer-Build (build-test)"
ctest --test-dir build-test --output-on-failure -j2 --timeout 300 || ctest_status=$?
bash tools/fuzz.sh "${BRENVIK_FUZZ_SECONDS:-5}"
echo "== Hausstil und statische Prüfung"
style_status=0
bash tools/check-style.sh build-rel || style_status=$?
[[ $ctest_status -ne 0 ]] && exit $ctest_status
exit $style_status
