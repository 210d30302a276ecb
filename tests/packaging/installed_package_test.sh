#!/usr/bin/env bash
# Builds the Debian package of 听风匣, unpacks it into an empty root and checks it as a desktop
# and a user would meet it: files in their places, a valid desktop entry, the program's window
# showing up, and downloads going to the user's music folder because /usr/bin is not theirs.
#
#   installed_package_test.sh <cpack> <CPackConfig.cmake> <download probe>
set -euo pipefail

cpack=$1
cpack_config=$2
probe=$3

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -- "$p" 2>/dev/null || true; done
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# The non-root runs below must be able to reach into the unpacked root.
chmod 755 "$work"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# ---- The package ---------------------------------------------------------------------------
"$cpack" --config "$cpack_config" -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log" >&2
  exit 1
}
debs=("$work"/pkg/*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || { echo "no single .deb in $work/pkg" >&2; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb")"

[[ $(dpkg-deb -f "$deb" Package) == tingfengxia ]] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# Computed from the program's libraries, plus the font no library names.
for dep in libqt6widgets6 libqt6webenginewidgets6 libcurl4 fonts-noto-cjk xdg-utils; do
  grep -Eq "(^|[ ,|])$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep"
done

# A system package only ever writes below /usr.
while read -r path; do
  case $path in
    ./ | ./usr/*) ;;
    *) fail "package file outside /usr: $path" ;;
  esac
done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t)

root=$work/root
mkdir "$root"
dpkg-deb -x "$deb" "$root"

# ---- Files where the desktop looks for them -------------------------------------------------
check_file() {  # path-in-root  kind
  local f=$root/$1
  if [[ ! -f $f ]]; then
    fail "missing /$1"
    return
  fi
  # A link would point into the machine that built the package.
  [[ ! -L $f ]] || fail "/$1 is a link to $(readlink "$f")"
  local what
  what=$(file -b "$f")
  case $2 in
    program) [[ -x $f && $what == *ELF*executable* ]] || fail "/$1 is not a program: $what" ;;
    png48) [[ $what == "PNG image data, 48 x 48,"* ]] || fail "/$1: $what" ;;
    png256) [[ $what == "PNG image data, 256 x 256,"* ]] || fail "/$1: $what" ;;
    svg) grep -q '<svg' "$f" || fail "/$1 is not an SVG" ;;
    text) [[ -s $f ]] || fail "/$1 is empty" ;;
  esac
}
while read -r path kind; do
  check_file "$path" "$kind"
done <<'EOF'
usr/bin/tingfengxia program
usr/share/applications/tingfengxia.desktop text
usr/share/icons/hicolor/scalable/apps/tingfengxia.svg svg
usr/share/icons/hicolor/48x48/apps/tingfengxia.png png48
usr/share/icons/hicolor/256x256/apps/tingfengxia.png png256
usr/share/doc/tingfengxia/README.md text
usr/share/doc/tingfengxia/LICENSE text
usr/share/doc/tingfengxia/copyright text
EOF
grep -q 'MIT License' "$root/usr/share/doc/tingfengxia/copyright" || fail "copyright is not the licence"

# ---- The desktop entry ----------------------------------------------------------------------
entry=$root/usr/share/applications/tingfengxia.desktop
if ! validation=$(desktop-file-validate "$entry" 2>&1) || grep -q 'error:' <<<"$validation"; then
  fail "desktop-file-validate: $validation"
fi
key() { sed -n "s/^$1=//p" "$entry" | head -n 1; }
[[ $(key Name) == 听风匣 ]] || fail "Name is '$(key Name)'"
# The comment is for Chinese readers: it must hold CJK characters.
LC_ALL=C.UTF-8 grep -qP '[\x{4e00}-\x{9fff}]' <<<"$(key Comment)" || fail "Comment is not Chinese"
for category in AudioVideo Network; do
  [[ ";$(key Categories)" == *";$category;"* ]] || fail "Categories lacks $category"
done
# The menu starts Exec through PATH and finds Icon by name among the installed icons.
exec_name=$(key Exec | cut -d' ' -f1)
[[ -x $root/usr/bin/$exec_name ]] || fail "Exec '$exec_name' is not an installed program"
icon=$(key Icon)
for dir in scalable/apps/$icon.svg 48x48/apps/$icon.png 256x256/apps/$icon.png; do
  [[ -f $root/usr/share/icons/hicolor/$dir ]] || fail "Icon '$icon' has no $dir"
done

# ---- The installed program shows its window -------------------------------------------------
# An X server without a screen, so the window can be looked for by its caption.
display_file=$work/display
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$display_file" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do
  [[ -s $display_file ]] && break
  sleep 0.1
done
[[ -s $display_file ]] || { cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=:$(head -n 1 "$display_file")

# Chromium inside Qt WebEngine refuses to start as root with its sandbox on.
setsid env LC_ALL=C.UTF-8 \
  QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu --disable-background-networking" \
  "$root/usr/bin/tingfengxia" >"$work/program.log" 2>&1 &
program=$!
pids+=("-$program")

caption_prefix='墨石-听风匣v1.1'
window=
for _ in $(seq 120); do
  kill -0 "$program" 2>/dev/null || break
  window=$(LC_ALL=C.UTF-8 xwininfo -root -tree 2>/dev/null |
    awk -v p="\"$caption_prefix" 'index($0, p) { print $1; exit }')
  if [[ -n $window ]] &&
    LC_ALL=C.UTF-8 xwininfo -id "$window" 2>/dev/null | grep -q 'Map State: IsViewable'; then
    break
  fi
  window=
  sleep 0.5
done
if [[ -n $window ]]; then
  echo "window shown: $(LC_ALL=C.UTF-8 xwininfo -id "$window" | sed -n 's/^xwininfo: //p')"
else
  fail "the installed program showed no window captioned $caption_prefix"
  cat "$work/program.log" >&2
fi
kill -- "-$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true

# ---- Downloads of an installed program ------------------------------------------------------
# Root may write anywhere, /usr/bin included, so the download runs as an ordinary user, as the
# one who starts the program from the menu. Run by someone else, the unpacked /usr/bin is theirs,
# so its write bit is taken away below as the package manager's ownership would.
if [[ $(id -u) -eq 0 ]]; then
  user=65534
  as_user() {  # home  program
    env -i PATH=/usr/bin:/bin HOME="$1" LC_ALL=C.UTF-8 \
      setpriv --reuid=$user --regid=$user --clear-groups "$2"
  }
else
  user=$(id -u)
  as_user() { env -i PATH=/usr/bin:/bin HOME="$1" LC_ALL=C.UTF-8 "$2"; }
fi
song='【probe】-听风匣.mp3'
body='ID3 probe song body'

# name | where the program lives | user-dirs music entry | where the song must land
while IFS='|' read -r name place music expected; do
  home=$work/home-$name
  mkdir -p "$home"
  if [[ -n $music ]]; then
    mkdir -p "$home/.config"
    echo "XDG_MUSIC_DIR=\"$music\"" >"$home/.config/user-dirs.dirs"
  fi
  bindir=${place//@ROOT@/$root}
  bindir=${bindir//@HOME@/$home}
  mkdir -p "$bindir"
  chmod u+w "$bindir"
  install -m 755 "$probe" "$bindir/tingfengxia-download-probe"
  [[ $bindir != "$root"/* ]] || chmod a-w "$bindir"
  chown -R "$user" "$home"
  expected=${expected//@ROOT@/$root}
  expected=${expected//@HOME@/$home}

  if ! out=$(as_user "$home" "$bindir/tingfengxia-download-probe" 2>&1); then
    fail "$name: the download did not succeed: $out"
    continue
  fi
  if [[ ! -f $expected/$song ]]; then
    fail "$name: no $expected/$song; files under $work: $(find "$work" -name '*.mp3')"
  elif [[ $(cat "$expected/$song") != "$body" ]]; then
    fail "$name: $expected/$song holds the wrong bytes"
  fi
  if [[ $bindir == "$root"/* && -e $bindir/下载音乐 ]]; then
    fail "$name: a download folder appeared in the installed program's folder"
  fi
done <<'EOF'
default-music|@ROOT@/usr/bin||@HOME@/Music/下载音乐
user-dirs|@ROOT@/usr/bin|$HOME/音乐|@HOME@/音乐/下载音乐
portable|@HOME@/tingfengxia||@HOME@/tingfengxia/下载音乐
EOF

if ((failures > 0)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "package installs, validates, starts and downloads as a user expects"
