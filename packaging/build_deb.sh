#!/usr/bin/env bash
# Builds the .deb of the two deliverables from the staged device layout.
# usage: build_deb.sh STAGE_DIR CONTROL_FILE OUTPUT_DIR
set -euo pipefail
stage=$1 control=$2 out=$3
for f in Library/MobileSubstrate/DynamicLibraries/PylonexPro2.dylib \
         Library/MobileSubstrate/DynamicLibraries/PylonexPro2.plist \
         Library/PreferenceBundles/PylonexPro2Prefs.bundle/PylonexPro2Prefs \
         Library/PreferenceLoader/Preferences/PylonexPro2.plist; do
  if [ ! -e "$stage/$f" ]; then
    echo "package: $stage/$f is missing; build the tweak and the settings bundle first" >&2
    exit 1
  fi
done
command -v dpkg-deb >/dev/null || { echo "package: dpkg-deb is missing (apt-get install dpkg)" >&2; exit 1; }
work=$(mktemp -d "$out/.pkgroot-XXXXXX")
trap 'rm -rf "$work"' EXIT
cp -a "$stage/." "$work/"
rm -rf "$work/DEBIAN"
mkdir -p "$work/DEBIAN"
cp "$control" "$work/DEBIAN/control"
# Installed-Size in KiB, as dpkg computes it.
size=$(du -sk --exclude=DEBIAN "$work" | cut -f1)
echo "Installed-Size: $size" >> "$work/DEBIAN/control"
chmod 0755 "$work/DEBIAN"
find "$work" -type d -exec chmod 0755 {} +
package=$(sed -n 's/^Package: //p' "$work/DEBIAN/control")
version=$(sed -n 's/^Version: //p' "$work/DEBIAN/control")
arch=$(sed -n 's/^Architecture: //p' "$work/DEBIAN/control")
deb="$out/${package}_${version}_${arch}.deb"
dpkg-deb --root-owner-group -Zgzip --build "$work" "$deb" >/dev/null
echo "$deb"
