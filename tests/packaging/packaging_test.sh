#!/usr/bin/env bash
# Checks of the installed files and of the Debian package. Each check works in a temporary
# folder of its own (removed on exit) and never reads or changes the user's desktop set-up.
#   packaging_test.sh metainfo <source dir> <version> <app id>
#   packaging_test.sh file-type <cmake> <build dir> <source dir> <app id>
#   packaging_test.sh deb-build <cpack> <build dir> <package dir>
#   packaging_test.sh deb-contents <package dir> <version> <app id>
#   packaging_test.sh deb-install <package dir> <version>      (as root; 77 = skipped)
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
    ./usr/share/icons/hicolor/scalable/apps/$id.svg)
  for size in 16 22 32 48 64 128 256; do
    expected+=("./usr/share/icons/hicolor/${size}x$size/apps/$id.png")
  done
  for path in "${expected[@]}"; do
    grep -qxF "$path" "$scratch/contents" || fail "$path is not in the package"
  done
  grep -qE '^\./usr/lib/(.*/)?kesv/modules/kesv-alsa\.so$' "$scratch/contents" ||
    fail "the ALSA sequencer's module is not in the package"
  depends="$(dpkg-deb --field "$deb" Depends)"
  for needed in 'libqt6widgets6 ' 'librtmidi[0-9]* ' 'libfluidsynth[0-9]* ' 'qt6-qpa-plugins' \
    'timgm6mb-soundfont | sf2-soundfont-gm' 'fonts-ipafont-gothic'; do
    grep -qE "(^|, )$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
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
