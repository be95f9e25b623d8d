#!/bin/sh
# decimal_comma.sh LOCALE_DIR COMMAND [ARGS...]
# Runs the command under de_DE.UTF-8, a locale that writes a decimal comma, made with localedef
# into LOCALE_DIR when it is not there yet. Status 77 (skipped) where no such locale can be made.
set -u
dir=$1
shift
if [ ! -d "$dir/de_DE.UTF-8" ]; then
    mkdir -p "$dir"
    # Tests start side by side: each makes its own copy and moves it into place.
    tmp=$(mktemp -d "$dir/.make.XXXXXX") || exit 77
    if localedef -i de_DE -f UTF-8 "$tmp/de_DE.UTF-8" >/dev/null 2>&1; then
        mv "$tmp/de_DE.UTF-8" "$dir/" 2>/dev/null
    fi
    rm -rf "$tmp"
fi
export LOCPATH="$dir" LC_ALL=de_DE.UTF-8
unset LANG LANGUAGE
if [ "$(locale decimal_point 2>/dev/null)" != "," ]; then
    echo "no de_DE.UTF-8 locale (localedef and Debian's locales package make one)" >&2
    exit 77
fi
exec "$@"
