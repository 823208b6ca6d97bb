#!/bin/sh
# Writes the payload archives again from the same sources and compares them, and the content
# folders, with the ones the build made: every run must give the same bytes.
#
#   check-reproducible.sh <writer> <password source> <listings folder> <build payload folder> <scratch folder>
set -eu
writer=$1 password_source=$2 listings=$3 built=$4 again=$5
rm -rf "$again"
"$writer" --password-in "$password_source" "$listings/cacfile.txt" "$again/cacfile.zip" "$again/cacfile"
"$writer" "$listings/firebird.txt" "$again/firebird.zip" "$again/firebird"
cmp "$again/cacfile.zip" "$built/cacfile.zip"
cmp "$again/firebird.zip" "$built/firebird.zip"
diff -r "$again/cacfile" "$built/cacfile"
diff -r "$again/firebird" "$built/firebird"
echo "payload archives reproduced byte for byte"
