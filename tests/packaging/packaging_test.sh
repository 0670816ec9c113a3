#!/usr/bin/env bash
# Checks of the installed files and of the Debian package. Each check works in a temporary
# folder of its own (removed on exit) and never reads or changes the user's desktop set-up.
#   packaging_test.sh metainfo <source dir> <version> <app id>
#   packaging_test.sh file-type <cmake> <build dir> <source dir> <app id>
#   packaging_test.sh deb-build <cpack> <build dir> <package dir>
#   packaging_test.sh deb-contents <package dir> <version> <app id>
#   packaging_test.sh deb-reproducible <cpack> <build dir> <package dir> <version>
#   packaging_test.sh deb-install <package dir> <version>      (as root; 77 = skipped)
#   packaging_test.sh deb-lintian <package dir> <version>
#   packaging_test.sh deb-hardening <package dir> <version>
#   packaging_test.sh manual-page <page> <kesv>
set -euo pipefail

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

deb_file() {
  echo "$1/kesv_$2_$(dpkg --print-architecture).deb"
}

case "$1" in
metainfo)
  metainfo="$2/data/$4.metainfo.xml"
  appstreamcli validate --no-net "$metainfo"
  # The newest release is listed first and must be the version being built.
  newest="$(grep -m1 -o '<release version="[^"]*"' "$metainfo")"
  [ "$newest" = "<release version=\"$3\"" ] || fail "newest release is $newest, the project is $3"
  ;;

file-type)
  cmake="$2" build="$3" source="$4" id="$5"
  prefix="$scratch/prefix"
  "$cmake" --install "$build" --prefix "$prefix" >/dev/null
  update-mime-database "$prefix/share/mime"
  # Only the temporary prefix is searched, and the generic (desktop-independent) rules apply.
  export XDG_DATA_DIRS="$prefix/share" XDG_DATA_HOME="$scratch/data"
  export XDG_CONFIG_HOME="$scratch/config" XDG_CONFIG_DIRS="$scratch/config"
  export XDG_CURRENT_DESKTOP=X-Generic
  mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
  cp "$source/tests/data/sample.kes" "$scratch/song.kes"
  cp "$source/tests/data/sample.kes" "$scratch/song-without-extension"
  for f in song.kes song-without-extension; do
    type="$(xdg-mime query filetype "$scratch/$f")"
    [ "$type" = application/x-kesv-song ] || fail "$f is $type"
  done
  # UTF-8 text whose first character starts with the song's header byte 0xE1 stays text.
  printf '\xe1\xbb\x9e \xc4\x91\xc3\xa2y c\xc3\xb3 m\xe1\xbb\x99t b\xc3\xa0i h\xc3\xa1t.\n' \
    >"$scratch/vietnamese-note"
  type="$(xdg-mime query filetype "$scratch/vietnamese-note")"
  [ "$type" = text/plain ] || fail "a text starting with 0xE1 is $type"
  # Scores open in KesV too.
  printf '<?xml version="1.0"?>\n<score-partwise version="4.0"/>\n' >"$scratch/score.musicxml"
  type="$(xdg-mime query filetype "$scratch/score.musicxml")"
  [ "$type" = application/vnd.recordare.musicxml+xml ] || fail "a score is $type"
  app="$(xdg-mime query default application/vnd.recordare.musicxml+xml)"
  [ "$app" = "$id.desktop" ] || fail "scores open in '$app'"
  # Found through the MimeType line of the desktop entry, then as the chosen default.
  app="$(xdg-mime query default application/x-kesv-song)"
  [ "$app" = "$id.desktop" ] || fail "default application before choosing: '$app'"
  xdg-mime default "$id.desktop" application/x-kesv-song
  app="$(xdg-mime query default application/x-kesv-song)"
  [ "$app" = "$id.desktop" ] || fail "default application after choosing: '$app'"
  ;;

deb-build)
  rm -rf "$4"
  "$2" --config "$3/CPackConfig.cmake" -G DEB -B "$4" >"$scratch/cpack.log" ||
    { cat "$scratch/cpack.log"; fail "cpack"; }
  ;;

deb-contents)
  deb="$(deb_file "$2" "$3")" id="$4"
  [ -f "$deb" ] || fail "no $deb"
  dpkg-deb --contents "$deb" | awk '{print $6}' >"$scratch/contents"
  expected=(./usr/bin/kesv ./usr/share/applications/$id.desktop
    ./usr/share/mime/packages/$id.xml ./usr/share/metainfo/$id.metainfo.xml
    ./usr/share/icons/hicolor/scalable/apps/$id.svg ./usr/share/man/man1/kesv.1.gz
    ./usr/share/doc/kesv/copyright ./usr/share/doc/kesv/changelog.gz)
  for size in 16 22 32 48 64 128 256; do
    expected+=("./usr/share/icons/hicolor/${size}x$size/apps/$id.png")
  done
  for path in "${expected[@]}"; do
    grep -qxF "$path" "$scratch/contents" || fail "$path is not in the package"
  done
  grep -qE '^\./usr/lib/(.*/)?kesv/modules/kesv-alsa\.so$' "$scratch/contents" ||
    fail "the ALSA sequencer's module is not in the package"
  depends="$(dpkg-deb --field "$deb" Depends)"
  for needed in 'libqt6widgets6 ' 'librtmidi[0-9]* ' 'libfluidsynth[0-9]* ' 'libexpat1 ' \
    'qt6-qpa-plugins' 'timgm6mb-soundfont | sf2-soundfont-gm' 'fonts-ipafont-gothic'; do
    grep -qE "(^|, )$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
  done
  # The changelog's newest entry is the version packaged.
  dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/doc/kesv/changelog.gz | gzip -dc \
    >"$scratch/changelog"
  changed="$(dpkg-parsechangelog -l "$scratch/changelog" -S Version)"
  [ "$changed" = "$3" ] || fail "the changelog's newest entry is $changed, the package $3"
  ;;

deb-reproducible)
  # A second packing, a second later and without SOURCE_DATE_EPOCH, gives the same bytes.
  deb="$(deb_file "$4" "$5")"
  [ -f "$deb" ] || fail "no $deb"
  sleep 1
  env -u SOURCE_DATE_EPOCH "$2" --config "$3/CPackConfig.cmake" -G DEB -B "$scratch/again" \
    >"$scratch/cpack.log" || { cat "$scratch/cpack.log"; fail "cpack"; }
  cmp "$deb" "$(deb_file "$scratch/again" "$5")" || fail "a second packing gives another package"
  ;;

deb-lintian)
  # Debian's own checks: an error or a warning fails, the remarks are listed.
  deb="$(deb_file "$2" "$3")"
  status=0
  lintian --pedantic --display-info --fail-on error,warning "$deb" >"$scratch/lintian" 2>&1 ||
    status=$?
  cat "$scratch/lintian"
  [ "$status" -eq 0 ] || fail "lintian reports errors or warnings, or did not run ($status)"
  ! grep -qE '^I: [^ ]+: (hardening-|binary-has-unneeded-section)' "$scratch/lintian" ||
    fail "lintian finds a binary unhardened or with an unneeded section"
  ;;

deb-hardening)
  deb="$(deb_file "$2" "$3")"
  dpkg-deb --extract "$deb" "$scratch/root"
  module="$(find "$scratch/root/usr/lib" -name kesv-alsa.so)"
  [ -n "$module" ] || fail "no module"
  # Control-flow protection cannot show in a linked binary: Debian 12's C start files (crti.o,
  # crtn.o) lack the IBT/SHSTK property, so no program of the system has it. The module
  # calls no libc function whose buffer size the compiler knows (its one candidate, memcpy,
  # comes from std::string), so fortification has nothing to replace there.
  hardening-check --nocfprotection "$scratch/root/usr/bin/kesv" || fail "kesv is not hardened"
  hardening-check --nocfprotection --nofortify "$module" || fail "the module is not hardened"
  for binary in "$scratch/root/usr/bin/kesv" "$module"; do
    ! readelf -S "$binary" | grep -qF .comment || fail "$binary keeps its .comment section"
  done
  ;;

manual-page)
  page="$2" kesv="$3"
  LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" >"$scratch/page" 2>"$scratch/warnings"
  [ ! -s "$scratch/warnings" ] || { cat "$scratch/warnings"; fail "man warns about $page"; }
  ! grep -q @ "$scratch/page" || fail "a placeholder is left in the page"
  # Every option the program offers is described.
  env -u DISPLAY -u WAYLAND_DISPLAY LANGUAGE=en "$kesv" --help >"$scratch/help"
  for option in $(grep -oE -- '--[a-z][a-z-]*' "$scratch/help" | sort -u); do
    grep -qE -- "(^ +|, )$option( |,|$)" "$scratch/page" ||
      fail "the page does not describe $option"
  done
  ;;

deb-install)
  [ "$(id -u)" -eq 0 ] || exit 77
  deb="$(deb_file "$2" "$3")"
  # A throwaway root with an empty package database: the machine's own stays untouched. The
  # libraries the package depends on are the machine's, so --force-depends.
  root="$scratch/root"
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/log"
  touch "$root/var/lib/dpkg/status"
  dpkg --root="$root" --force-depends --install "$deb" >/dev/null
  dpkg --root="$root" --listfiles kesv >"$scratch/files"
  grep -qx /usr/bin/kesv "$scratch/files" || fail "dpkg does not list /usr/bin/kesv"
  # RtMidi, and the JACK and ALSA libraries with it, come with the sequencer's module, which
  # the program opens from its own folder, not at start-up.
  module="$(grep -E '/kesv/modules/kesv-alsa\.so$' "$scratch/files")"
  [ -f "$root/usr/bin/$(realpath -m --relative-to=/usr/bin "$module")" ] || fail "no module"
  ! readelf -d "$root/usr/bin/kesv" | grep -qE 'NEEDED.*(rtmidi|jack|asound)' ||
    fail "kesv links RtMidi, JACK or ALSA at start-up"
  readelf -d "$root$module" | grep -q 'NEEDED.*librtmidi' || fail "the module lacks RtMidi"
  man --warnings -l "$root/usr/share/man/man1/kesv.1.gz" >/dev/null || fail "no manual page"
  version="$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/kesv" --version)"
  [ "$version" = "KesV $3" ] || fail "kesv --version printed '$version'"
  dpkg --root="$root" --purge kesv >/dev/null
  left="$(find "$root" -mindepth 1 -path "$root/var" -prune -o -print)"
  [ -z "$left" ] || fail "left after removal: $left"
  ;;

*)
  fail "unknown check $1"
  ;;
esac
