#!/usr/bin/env bash
# The house style and the static checks, as the test command runs them: clang-format over every source (.clang-format)
# and clang-tidy (.clang-tidy) over the C++ files changed since BRENVIK_CHECK_BASE (by default the commit before the
# last, so that a clean clone checks what its last commit brought, and a working tree what it changes on top). Fails
# on any finding. The first argument names the build folder whose compile_commands.json clang-tidy reads.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-rel}"
status=0
# A clone owned by another user than the one running the tests is still this project's.
g() { git -c safe.directory="$(pwd)" "$@"; }

mapfile -t sources < <(g ls-files '*.cpp' '*.h')
if ! clang-format --dry-run --Werror "${sources[@]}"; then
  echo "== Formatierung: die genannten Dateien mit clang-format -i in die Hausform bringen" >&2
  status=1
fi

base="${BRENVIK_CHECK_BASE:-HEAD~1}"
if ! g rev-parse --verify --quiet "$base^{commit}" >/dev/null; then
  base=$(g hash-object -t tree /dev/null) # a first commit: everything is new
fi
# The fuzz targets are built with clang alone and are not in the build's compile commands.
mapfile -t changed < <({ g diff --name-only --diff-filter=d "$base" -- '*.cpp'
                         g ls-files --others --exclude-standard -- '*.cpp'; } | grep -v '^tests/fuzz/' | sort -u)
if ((${#changed[@]})); then
  echo "== clang-tidy: ${#changed[@]} geänderte Dateien"
  if ! clang-tidy -p "$build" --quiet "${changed[@]}" 2> >(grep -v 'warnings generated' >&2); then
    echo "== clang-tidy: Befunde in geänderten Dateien" >&2
    status=1
  fi
fi
exit $status
