#!/bin/sh
# check_packages.sh BUILD_DIR: installs the Debian packages that `make package` wrote into
# BUILD_DIR/packages, runs the installed talvik on the installed balls file and example data
# set and compares its output with `make demo`'s, checks the manual pages, removes the packages
# again, and runs lintian on them (an error fails). As root, or as a user with sudo.
set -eu
build=$(cd "$1" && pwd)
top=$(cd "$(dirname "$0")/.." && pwd)
packages="$build/packages"
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi

set -- "$packages"/*.deb
[ -e "$1" ] || { echo "no packages in $packages" >&2; exit 1; }
names=""
for deb in "$@"; do
    names="$names $(dpkg-deb -f "$deb" Package)"
done
echo "Packages:$names"

expected=$("$build/bin/talvik" /d "$top/examples/balls_r1-5.txt" /b "$top/examples/boolean64" /e 5)
status=0
# Whatever happens below, nothing installed stays behind: the packages, and whatever apt
# pulled in for them.
before=$(mktemp)
dpkg-query -W -f '${Package}\n' | sort >"$before"
remove_all() {
    $sudo apt-get remove --purge -y $names
    added=$(dpkg-query -W -f '${db:Status-Abbrev} ${Package}\n' | awk '$1 == "ii" { print $2 }' |
        sort | comm -13 "$before" -)
    [ -z "$added" ] || $sudo apt-get remove --purge -y $added
}
trap 'remove_all >/dev/null 2>&1 || true; rm -f "$before"' EXIT
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "$@"
installed=$(/usr/bin/talvik /d /usr/share/stereology/balls_r1-5.txt /b /usr/share/stereology/boolean64 /e 5)
if [ "$installed" = "$expected" ]; then
    echo "installed talvik: the same three lines as make demo"
else
    printf 'installed talvik printed\n%s\nmake demo prints\n%s\n' "$installed" "$expected" >&2
    status=1
fi
case " $names " in
    *" python3-talvik "*)
        # Debian's python3 finds the installed module by itself, from any folder.
        got=$(cd / && /usr/bin/python3 -c "import talvik
v = talvik.estimate(talvik.load_data_set('/usr/share/stereology/boolean64'),
                    '/usr/share/stereology/balls_r1-5.txt', 5)
print('V2: %20.16f\\nV1: %20.16f\\nV0: %20.16f' % (v.V2, v.V1, v.V0))")
        if [ "$got" = "$expected" ]; then
            echo "installed Python module: the same three lines"
        else
            printf 'the installed Python module printed\n%s\n' "$got" >&2
            status=1
        fi ;;
esac
for page in talvik Brisolt Quenbar Ferndel; do
    if dpkg -S "/usr/share/man/man1/$page.1.gz" >/dev/null 2>&1; then
        MANWIDTH=80 man "$page" >/dev/null 2>&1 || { echo "man $page fails" >&2; status=1; }
    fi
done
MANWIDTH=80 man talvik | grep -q '/usr/share/stereology/balls_recommended.txt' ||
    { echo "man talvik does not name /usr/share/stereology/balls_recommended.txt" >&2; status=1; }
remove_all
trap 'rm -f "$before"' EXIT
for name in $names; do
    if dpkg -s "$name" >/dev/null 2>&1; then echo "$name is still installed" >&2; status=1; fi
done
[ ! -e /usr/bin/talvik ] || { echo "/usr/bin/talvik is left behind" >&2; status=1; }

lintian --fail-on error --info "$@" || status=1
exit $status
