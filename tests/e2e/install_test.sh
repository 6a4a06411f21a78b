#!/usr/bin/env bash
# install_test.sh BUILD_DIR - installs the build into a fresh prefix, runs
# the installed program and renders its manual page, which must give no
# warning.
set -euo pipefail
build=$1
command -v groff >/dev/null || { echo "SKIP: groff is not installed (Debian package groff-base)"; exit 77; }

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

version=$("$build/binscope" --version)
installed=$("$prefix/bin/binscope" --version)
[ "$installed" = "$version" ] || { echo "FAIL: the installed binscope --version printed '$installed'"; exit 1; }

page=$prefix/share/man/man1/binscope.1
[ -f "$page" ] || { echo "FAIL: no manual page at share/man/man1/binscope.1"; exit 1; }
warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
[ -z "$warnings" ] || { echo "FAIL: groff warns about the manual page:"; echo "$warnings"; exit 1; }

# The page is of this version and names every option that the program's
# help lists.
text=$(groff -man -Tascii -P-cbu -rLL=300n -rHY=0 "$page" 2>/dev/null)
grep -qF -- "$version" <<<"$text" || { echo "FAIL: the manual page is not of $version"; exit 1; }
for command in reference-point scale-regions heatmap profile "matrix info" "matrix range" "matrix subset" \
    "matrix filter" "matrix rbind" "matrix cbind" "matrix sort" "matrix relabel"; do
    read -r -a words <<<"$command"
    for option in $("$prefix/bin/binscope" "${words[@]}" --help | grep -oE -- '--[A-Za-z0-9]+' | sort -u); do
        grep -qE -- "(^|[^-A-Za-z])$option([^A-Za-z0-9]|\$)" <<<"$text" || { echo "FAIL: the manual page lacks $option"; exit 1; }
    done
done
echo "installed binscope runs; its manual page renders without warnings"
