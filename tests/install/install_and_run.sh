#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks what a user gets: every
# program runs from the prefix and prints the project's version, and every
# manual page is there and renders without a warning.
#   install_and_run.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
prefix=$(mktemp -d "${TMPDIR:-/tmp}/seedbank-install-XXXXXX")
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
status=0
for program in winter generate blockmap stepmap mkmap; do
    expected="$program (seedbank) $version"
    got=$(cd "$prefix" && "$prefix/bin/$program" --version) || { echo "$program --version failed"; status=1; }
    [ "$got" = "$expected" ] || { echo "$program --version: '$got', expected '$expected'"; status=1; }
    page="$prefix/share/man/man1/$program.1"
    [ -f "$page" ] || { echo "no manual page $page"; status=1; continue; }
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { echo "$page: $warnings"; status=1; }
    rendered=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS FILES DIAGNOSTICS "EXIT STATUS" EXAMPLES "SEE ALSO"; do
        grep -q "^$section\$" <<<"$rendered" || { echo "$page: no section $section"; status=1; }
    done
    grep -q "seedbank $version" <<<"$rendered" || { echo "$page: no version $version"; status=1; }
done
exit $status
