#!/bin/sh
# each_test.sh GTEST_BINARY: runs every test of the binary in a process of its own, as ctest
# runs them one by one, so that no test sees what an earlier one left behind.
set -u
binary=$1
failed=0
suite=""
for line in $("$binary" --gtest_list_tests | sed -e 's/ *#.*//' -e 's/ /_/g'); do
    case "$line" in
        *.) suite=$line ;;
        _*) name=${line#__}
            "$binary" --gtest_filter="$suite$name" >/dev/null 2>&1 || {
                echo "FAILED: $suite$name" >&2
                failed=1
            } ;;
    esac
done
exit $failed
