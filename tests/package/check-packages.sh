#!/usr/bin/env bash
# Builds both Debian packages and checks them without installing anything:
# each is unpacked into a temporary folder (dpkg-deb -x, -e, -I) and its
# desktop entry, metainfo, man pages, icons, units and maintainer scripts are
# checked with the tools the distribution uses; lintian must report no error.
#   tests/package/check-packages.sh VERSION
set -uo pipefail
version=$1
source=${VANTREL_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
arch=$(dpkg --print-architecture)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
checks=0
check() {  # check "what" command...: runs the command, shows its output on failure
  local what=$1
  shift
  checks=$((checks + 1))
  if ! output=$("$@" 2>&1); then
    failures=$((failures + 1))
    echo "FAILED: $what"
    echo "$output" | sed 's/^/    /'
  else
    echo "ok: $what"
  fi
}

"$source/scripts/package.sh" >"$work/package.log" 2>&1 || { cat "$work/package.log"; echo "0 passed, 1 failed"; exit 1; }

app_deb=$source/build/packages/vantrel_${version}_${arch}.deb
site_deb=$source/build/packages/vantrel-site_${version}_${arch}.deb
for deb in "$app_deb" "$site_deb"; do
  [ -f "$deb" ] || { echo "missing $deb"; echo "0 passed, 1 failed"; exit 1; }
  name=$(basename "$deb" | cut -d_ -f1)
  dpkg-deb -x "$deb" "$work/$name"
  dpkg-deb -e "$deb" "$work/$name.control"
  dpkg-deb -I "$deb" >"$work/$name.info"
done
app=$work/vantrel
site=$work/vantrel-site

# --- control data: library dependencies found by dpkg-shlibdeps, texts --------
check "vantrel depends on the Qt libraries it links" grep -Eq '^ Depends:.*libqt6webenginewidgets6.*' "$work/vantrel.info"
check "vantrel-site depends on the HTTP library it links" grep -Eq '^ Depends:.*libcpp-httplib' "$work/vantrel-site.info"
check "both packages carry a copyright file and a changelog" \
  test -s "$app/usr/share/doc/vantrel/copyright" -a -s "$app/usr/share/doc/vantrel/changelog.gz" \
       -a -s "$site/usr/share/doc/vantrel-site/copyright" -a -s "$site/usr/share/doc/vantrel-site/changelog.gz"

# --- the desktop program ------------------------------------------------------
check "the desktop entry validates" desktop-file-validate "$app/usr/share/applications/net.vantrel.Vantrel.desktop"
check "the metainfo validates" appstreamcli validate --no-net --explain "$app/usr/share/metainfo/net.vantrel.Vantrel.metainfo.xml"
check "the metainfo's screenshots have captions" \
  test "$(grep -c '<screenshot[ >]' "$app/usr/share/metainfo/net.vantrel.Vantrel.metainfo.xml")" -eq \
       "$(grep -c '<caption>' "$app/usr/share/metainfo/net.vantrel.Vantrel.metainfo.xml")"
check "the language files are installed" test -s "$app/usr/share/vantrel/Languages/_Current_Languages.txt"
icon_sizes() {
  for png in "$app"/usr/share/icons/hicolor/*/apps/vantrel.png; do
    folder=$(basename "$(dirname "$(dirname "$png")")")
    actual=$(identify -format '%wx%h' "$png") || return 1
    [ "$folder" = "$actual" ] || { echo "$png is $actual"; return 1; }
  done
  test -f "$app/usr/share/icons/hicolor/512x512/apps/vantrel.png"
}
check "each hicolor icon has its folder's size, up to 512x512" icon_sizes

# Rendered as man does, with every groff warning on.
man_pages_render() {
  local page status=0
  for page in "$@"; do
    [ -f "$page" ] || { echo "missing $page"; status=1; continue; }
    warnings=$(zcat "$page" | groff -man -Tutf8 -ww -z 2>&1)
    [ -z "$warnings" ] || { echo "$page: $warnings"; status=1; }
  done
  return $status
}
pages=("$app/usr/share/man/man1/vantrel.1.gz" "$site/usr/share/man/man1/vantrel-site.1.gz")
[ -e "$app/usr/bin/vantrel-check" ] && pages+=("$app/usr/share/man/man1/vantrel-check.1.gz")
check "the man pages render without warnings" man_pages_render "${pages[@]}"

# The capability goes to the permission helper and nowhere else.
helper=/usr/libexec/vantrel/vantrel-bind
capability_on_helper_only() {
  local postinst=$work/vantrel.control/postinst
  [ -x "$postinst" ] || { echo "no executable postinst"; return 1; }
  grep -q "^helper=$helper\$" "$postinst" || { echo "postinst does not name $helper"; return 1; }
  if grep -E 'setcap|chmod|chown' "$postinst" | grep -vq 'setcap cap_net_bind_service=ep "\$helper"'; then
    echo "postinst changes the rights of something else:"
    grep -E 'setcap|chmod|chown' "$postinst"
    return 1
  fi
  local setuid
  setuid=$(find "$app" "$site" -type f -perm /6000)
  [ -z "$setuid" ] || { echo "setuid or setgid files: $setuid"; return 1; }
}
check "the postinst sets the capability on $helper alone" capability_on_helper_only

# --- the site as a service ----------------------------------------------------
units=$site/lib/systemd/system
# Checked as the host's systemd would load them, with the program's path
# pointed at the unpacked copy (which must exist and be executable).
verify_units() {
  local copies=$work/units
  mkdir -p "$copies"
  for unit in vantrel-site.service vantrel-site@.service; do
    sed "s|/usr/bin/vantrel-site|$site/usr/bin/vantrel-site|" "$units/$unit" >"$copies/$unit"
  done
  # An unknown or misspelt setting is only a message, with exit status 0.
  local said
  said=$(systemd-analyze verify --man=no "$copies/vantrel-site.service" "$copies/vantrel-site@8381.service" 2>&1) &&
    [ -z "$said" ] || { echo "$said"; return 1; }
}
check "systemd accepts the units" verify_units
hardening=(DynamicUser=yes NoNewPrivileges=yes ProtectSystem=strict ProtectHome=yes PrivateTmp=yes
  PrivateDevices=yes "RestrictAddressFamilies=AF_INET AF_INET6 AF_UNIX" SystemCallFilter=@system-service
  MemoryMax= LimitNOFILE= EnvironmentFile=-/etc/default/vantrel-site)
units_hardened() {
  local unit setting status=0
  for unit in "$units/vantrel-site.service" "$units/vantrel-site@.service"; do
    for setting in "${hardening[@]}"; do
      grep -q "^$setting" "$unit" || { echo "$(basename "$unit") lacks $setting"; status=1; }
    done
  done
  # The template differs from the single unit only in its address, port and options.
  diff <(grep -v -E '^(Description|Environment|ExecStart)=|^#' "$units/vantrel-site.service") \
       <(grep -v -E '^(Description|Environment|ExecStart)=|^#' "$units/vantrel-site@.service") || status=1
  grep -q -- '--port %i' "$units/vantrel-site@.service" || { echo "the template ignores its instance name"; status=1; }
  return $status
}
check "both units carry the same sandbox" units_hardened
check "the options file is a conffile" grep -qx /etc/default/vantrel-site "$work/vantrel-site.control/conffiles"
check "the options file is valid shell" sh -n "$site/etc/default/vantrel-site"

# --- lintian --------------------------------------------------------------------
for deb in "$app_deb" "$site_deb"; do
  check "lintian finds no error in $(basename "$deb")" lintian --fail-on error --tag-display-limit 0 "$deb"
  # What remains below errors, for the record.
  lintian --display-info --tag-display-limit 0 "$deb" 2>/dev/null | sed 's/^/    lintian: /'
done

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
