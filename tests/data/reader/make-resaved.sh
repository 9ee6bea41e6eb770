#!/bin/sh
# Opens every KWX fixture in RTF form with LibreOffice Writer and saves it
# again as RTF into resaved/, as a translator's word processor does.
# Needs soffice (Debian: libreoffice-writer-nogui). Run from any folder.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out="$here/resaved"
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
mkdir -p "$out"
for f in "$here"/sample-*.rtf "$here"/ancillary-*.rtf; do
  soffice -env:UserInstallation=file://"$profile" --headless --convert-to rtf --outdir "$out" "$f" >/dev/null
done
ls -l "$out"
