#!/usr/bin/env bash
# Builds the .deb from the build tree, unpacks it into a scratch folder and checks that it
# holds the whole installation and that the unpacked norvalis-check runs.
set -euo pipefail
build_dir=$1
source_dir=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cpack --config "$build_dir/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 || {
  cat "$scratch/cpack.log"; exit 1; }
deb=$(ls "$scratch"/out/norvalis_*.deb)
dpkg-deb -x "$deb" "$scratch/root"
dpkg-deb -e "$deb" "$scratch/control"

failures=0
expect() {
  if [ ! -e "$scratch/root/$1" ]; then echo "missing in the package: $1"; failures=$((failures + 1)); fi
}
expect usr/bin/norvalis
expect usr/bin/norvalis-check
expect usr/bin/norvalis-crash
expect usr/share/norvalis/help/index.html
expect usr/share/norvalis/help/settings.html
expect usr/share/norvalis/examples/shiftjis_quoted.csv
expect usr/share/applications/norvalis.desktop
expect usr/share/mime/packages/norvalis.xml
expect usr/share/icons/hicolor/scalable/apps/norvalis.svg
for size in 16 32 48 128 256; do expect "usr/share/icons/hicolor/${size}x${size}/apps/norvalis.png"; done

depends=$(sed -n 's/^Depends: //p' "$scratch/control/control")
for dep in libqt6widgets6 libqt6gui6 libqt6core6 libdw1 libcapstone4 libpcre2-16-0 fonts-ipafont-gothic qt6-qpa-plugins; do
  case "$depends" in *"$dep"*) ;; *) echo "Depends lacks $dep: $depends"; failures=$((failures + 1)) ;; esac
done
for script in postinst postrm; do
  grep -q update-mime-database "$scratch/control/$script" || { echo "$script does not update the MIME database"; failures=$((failures + 1)); }
  grep -q update-desktop-database "$scratch/control/$script" || { echo "$script does not update the desktop database"; failures=$((failures + 1)); }
done

code_page=$("$scratch/root/usr/bin/norvalis-check" --encoding "$scratch/root/usr/share/norvalis/examples/shiftjis_quoted.csv")
[ "$code_page" = "932" ] || { echo "unpacked norvalis-check printed '$code_page'"; failures=$((failures + 1)); }

desktop-file-validate "$scratch/root/usr/share/applications/norvalis.desktop" || failures=$((failures + 1))
xmllint --noout "$scratch/root/usr/share/mime/packages/norvalis.xml" || failures=$((failures + 1))

# The MIME package must compile and give *.NVS files the project type.
mkdir -p "$scratch/mime/packages"
cp "$scratch/root/usr/share/mime/packages/norvalis.xml" "$scratch/mime/packages/"
update-mime-database "$scratch/mime" >/dev/null 2>&1 || true
grep -q 'application/x-norvalis-project:\*\.nvs' "$scratch/mime/globs2" || { echo "MIME glob not compiled"; failures=$((failures + 1)); }

if [ "$failures" -ne 0 ]; then echo "$failures problem(s) with $deb"; exit 1; fi
echo "package ok: $deb"
