#!/usr/bin/env bash
# The Debian package from a Linux build's program folder:
#   deb/make-deb.sh BUILD_DIR [OUT_DIR] [VERSION]
# Writes OUT_DIR/tolvar_VERSION_ARCH.deb (OUT_DIR defaults to dist/, VERSION to the one the
# programs print) and prints its path. The layout:
#   /opt/tolvar/            tolvar, tolvar-po, and links to the office's two files below
#   /etc/opt/tolvar/        tolvar.ini and MST_PO.xls, made by postinst from the samples
#   /usr/share/tolvar/      the samples and the demo database
#   /usr/bin/               links to the two programs
# plus the desktop entry, icons, AppStream metainfo, manual pages and the package's documents.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
build=$(cd "$1" && pwd)
mkdir -p "${2:-$top/dist}"
out=$(cd "${2:-$top/dist}" && pwd)
version=${3:-$("$build/app/tolvar-po" --version | awk '{print $2}')}
arch=$(dpkg --print-architecture)
id=org.tolvar.Tolvar
# Dated from the last commit, so two builds of one commit are the same package.
date_iso=$(git -C "$top" log -1 --format=%cs 2>/dev/null || date -u +%F)
date_rfc=$(date -u -R -d "$date_iso")

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
root=$stage/root
share=$root/usr/share
install -d -m 0755 "$root/DEBIAN" "$root/opt/tolvar" "$root/usr/bin" "$share/tolvar" "$share/applications" \
  "$share/metainfo" "$share/man/man1" "$share/doc/tolvar" "$share/lintian/overrides" \
  "$share/icons/hicolor/scalable/apps"

for program in tolvar tolvar-po; do
  install -m 0755 "$build/app/$program" "$root/opt/tolvar/$program"
  strip --strip-unneeded --remove-section=.comment --remove-section=.note "$root/opt/tolvar/$program"
  ln -s "/opt/tolvar/$program" "$root/usr/bin/$program"
done
# The program reads its settings and template beside itself; the links lead to the office's copies.
for f in tolvar.ini MST_PO.xls; do
  ln -s "/etc/opt/tolvar/$f" "$root/opt/tolvar/$f"
done

# The samples: the template, the demo database, and settings that use it with no save folder yet
# (the search window's "..." button asks for one and writes it back).
install -m 0644 "$top/assets/MST_PO.xls" "$share/tolvar/MST_PO.xls"
install -m 0644 "$build/app/demo.db" "$share/tolvar/demo.db"
sed -e 's|^SERVER_NM=.*|SERVER_NM=/usr/share/tolvar/demo.db|' -e 's|@OUTPUT_DIR@||' \
  "$top/assets/tolvar.ini.in" >"$stage/tolvar.ini"
install -m 0644 "$stage/tolvar.ini" "$share/tolvar/tolvar.ini"

install -m 0644 "$here/$id.desktop" "$share/applications/$id.desktop"
sed -e "s/@VERSION@/$version/" -e "s/@DATE@/$date_iso/" "$here/$id.metainfo.xml" >"$share/metainfo/$id.metainfo.xml"
chmod 0644 "$share/metainfo/$id.metainfo.xml"
install -m 0644 "$top/assets/icon/tolvar.svg" "$share/icons/hicolor/scalable/apps/tolvar.svg"
for size in 16 24 32 48 64 128 256; do
  install -d -m 0755 "$share/icons/hicolor/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" "$top/assets/icon/tolvar.svg" -o "$share/icons/hicolor/${size}x${size}/apps/tolvar.png"
  chmod 0644 "$share/icons/hicolor/${size}x${size}/apps/tolvar.png"
done
for page in tolvar.1 tolvar-po.1; do
  sed -e "s/@VERSION@/$version/" -e "s/@DATE@/$date_iso/" "$here/$page" | gzip -9n >"$share/man/man1/$page.gz"
done
install -m 0644 "$here/copyright" "$share/doc/tolvar/copyright"
printf 'tolvar (%s) stable; urgency=medium\n\n  * Release %s.\n\n -- Tolvar developers <tolvar@example.org>  %s\n' \
  "$version" "$version" "$date_rfc" | gzip -9n >"$share/doc/tolvar/changelog.gz"
install -m 0644 "$here/lintian-overrides" "$share/lintian/overrides/tolvar"
chmod 0644 "$share/man/man1/"*.gz "$share/doc/tolvar/changelog.gz"

# Dependencies: the libraries the programs link, as dpkg-shlibdeps finds them, then what they load
# at run time, which no link shows: Qt's PostgreSQL plugin, the ODBC driver manager (loaded when an
# ODBC or SQL Server connection is made) and FreeTDS's driver for SQL Server.
mkdir -p "$stage/shlibs/debian"
printf 'Source: tolvar\n\nPackage: tolvar\nArchitecture: any\n' >"$stage/shlibs/debian/control"
shlibs=$(cd "$stage/shlibs" && dpkg-shlibdeps -O "$root/opt/tolvar/tolvar" "$root/opt/tolvar/tolvar-po" \
  | sed -n 's/^shlibs:Depends=//p')
installed_size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
cat >"$root/DEBIAN/control" <<CONTROL
Package: tolvar
Version: $version
Architecture: $arch
Maintainer: Tolvar developers <tolvar@example.org>
Installed-Size: $installed_size
Depends: $shlibs, adduser
Recommends: libqt6sql6-psql, libodbc2, tdsodbc, libreoffice-calc-nogui | libreoffice-calc, xdg-utils, fonts-ipafont-gothic | fonts-japanese-gothic
Section: misc
Priority: optional
Description: purchase-order workbooks from the office's own template
 Tolvar searches the purchase orders in the office's SQL database (SQLite,
 PostgreSQL, SQL Server or any ODBC source) and fills the office's
 purchase-order template with the PO that is picked: one Excel 97-2003
 workbook per PO, and a PDF of it when LibreOffice is installed.
 .
 The command tolvar-po makes the same workbooks without a window. The
 settings file and the template are the office's: they are kept across
 upgrades and removed only on purge.
CONTROL
install -m 0755 "$here/postinst" "$root/DEBIAN/postinst"
install -m 0755 "$here/postrm" "$root/DEBIAN/postrm"
(cd "$root" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

deb="$out/tolvar_${version}_${arch}.deb"
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "$deb"
