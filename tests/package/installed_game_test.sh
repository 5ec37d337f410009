#!/usr/bin/env bash
# The installed game as a player gets it: the package unpacked into a
# read-only root, HOME and the XDG folders in a temporary place. A first
# headless run saves a record, an album, the settings and the colour caches;
# they must all land in the XDG folders and nothing in the installation. A
# second run reads them back, and plays the player's own menu tune.
#   tests/package/installed_game_test.sh kelvane_<version>_<arch>.deb
set -euo pipefail
DEB="$(realpath "$1")"
SRC="$(cd "$(dirname "$0")/../.." && pwd)"
T="$(mktemp -d)"
trap 'chmod -R u+w "$T"; rm -rf "$T"' EXIT
fail() { echo "installed game: FAIL: $*" >&2; exit 1; }

ROOTFS="$T/root"
dpkg-deb -x "$DEB" "$ROOTFS"
chmod -R a-w "$ROOTFS"
GAME="$ROOTFS/usr/games/kelvane"
DATA="$ROOTFS/usr/share/kelvane"
export HOME="$T/home" XDG_CONFIG_HOME="$T/config" XDG_DATA_HOME="$T/share" XDG_CACHE_HOME="$T/cache"
mkdir -p "$HOME"
CONFIG="$XDG_CONFIG_HOME/kelvane" PLAYER="$XDG_DATA_HOME/kelvane" CACHE="$XDG_CACHE_HOME/kelvane"
listing() { (cd "$ROOTFS" && find . -printf '%p %s %T@ %m\n' | sort); }
before="$(listing)"

# What a player gets beside the program: hardened programs (immediate
# binding, fortified functions), a menu entry that takes over no file type,
# and a README that is the player's guide.
for program in "$GAME" "$ROOTFS/usr/bin/kelvane-inspect"; do
  # Read whole first: grep -q leaving early would end readelf with SIGPIPE,
  # which pipefail reports as a failed check.
  dynamic="$(readelf -d "$program")"
  symbols="$(readelf --dyn-syms -W "$program")"
  grep -Eq 'BIND_NOW|Flags:.* NOW\b' <<<"$dynamic" || fail "$program is not bound at once"
  grep -Eq '__[a-z0-9_]+_chk@' <<<"$symbols" || fail "$program has no fortified calls"
done
ENTRY="$ROOTFS/usr/share/applications/org.kelvane.kelvane.desktop"
! grep -q '^MimeType=' "$ENTRY" || fail "the menu entry claims file types"
GUIDE="$ROOTFS/usr/share/doc/kelvane/README.md"
for part in "## Starting" "## Keys" "## Saving and replaying a run" "## Where your files go"; do
  grep -qxF "$part" "$GUIDE" || fail "the installed README lacks '$part'"
done
! grep -q 'scripts/' "$GUIDE" || fail "the installed README speaks of the developers' scripts"

# The folders in use.
where="$("$GAME" --where)"
for line in "installed data: $DATA/" "settings (Kelvane.ini): $CONFIG/" \
            "records, albums, your own data: $PLAYER/" "colour-scheme caches: $CACHE/"; do
  grep -qxF "$line" <<<"$where" || fail "--where lacks '$line':"$'\n'"$where"
done
"$GAME" --help | grep -q "XDG_DATA_HOME" || fail "--help does not say where files go"
line="rendered tunes: $CACHE/tunes/"
env -u KELVANE_RENDERED_TUNES "$GAME" --where | grep -qxF "$line" || fail "--where lacks '$line'"

# The default tunes' renders come with the package, made with the soundfont
# it depends on: a first start renders none of them.
shipped="$(env -u KELVANE_RENDERED_TUNES "$GAME" --render-tunes)" || fail "--render-tunes failed"
[[ "$(grep -c ': shipped with the game$' <<<"$shipped")" == 9 ]] \
  || fail "the default tunes are not all shipped:"$'\n'"$shipped"
! compgen -G "$CACHE/tunes/*.flac" >/dev/null || fail "a shipped tune was rendered again"

# Run 1: a match whose human turn is saved into slot 3, with an album of
# snapshots saved to Zz1.bmp during the play, then a close.
{
  awk '$1 + 0 <= 161250' "$SRC/tests/scenarios/save_and_replay.txt" | grep -v '^#'
  cat <<'SCRIPT'
140000 mouse move 300 200
140100 mouse move 320 220
140200 mouse down left 320 220
140700 mouse up left 320 220
141000 key down 49
141050 key up 49
163000 close
SCRIPT
} | sort -n -s -k1,1 > "$T/run1.txt"
"$GAME" --headless --seed 7 --input "$T/run1.txt" --trace "$T/trace1.jsonl" \
  || fail "run 1 exited with $?"
[[ -f "$CONFIG/Kelvane.ini" ]] || fail "no settings in $CONFIG"
[[ -f "$PLAYER/Ac3.txt" ]] || fail "no record Ac3.txt in $PLAYER"
[[ -f "$PLAYER/Zz1.bmp" ]] || fail "no album Zz1.bmp in $PLAYER"
caches=$(find "$CACHE" -name 'T*.bmp' | wc -l)
((caches > 0)) || fail "no colour caches in $CACHE"
[[ "$(listing)" == "$before" ]] || fail "run 1 changed the installation"
"$ROOTFS/usr/bin/kelvane-inspect" record "$PLAYER/Ac3.txt" >/dev/null || fail "Ac3.txt does not check"

# Run 2 reads it back: a stored entry name survives (a run that had not
# read the file would write the default back), the album loads (Shift+1,
# sound 31), the caches are used as they are, and the player's Zz.mid (a
# stage tune under the menu tune's name) is what the menu plays.
sed -i 's/^ename=.*/ename=TESTER/' "$CONFIG/Kelvane.ini"
grep -q '^ename=TESTER' "$CONFIG/Kelvane.ini" || fail "the settings have no ename line"
cp "$DATA/Z02.mid" "$PLAYER/Zz.mid"
cache_times="$(stat -c '%n %Y %s' "$CACHE"/* | sort)"
cat > "$T/run2.txt" <<'SCRIPT'
2600 key down 49 shift
2650 key up 49 shift
3000 key down 13
3050 key up 13
8000 close
SCRIPT
"$GAME" --headless --seed 7 --input "$T/run2.txt" --trace "$T/trace2.jsonl" \
  || fail "run 2 exited with $?"
grep -q '^ename=TESTER' "$CONFIG/Kelvane.ini" || fail "run 2 did not read the settings back"
grep -q '"ev":"sfx","n":31' "$T/trace2.jsonl" || fail "run 2 did not load the album"
[[ "$(stat -c '%n %Y %s' "$CACHE"/* | sort)" == "$cache_times" ]] || fail "run 2 rebuilt the caches"
# The menu tune's length tells which file played: the installed one in run 1.
menu_length() { grep -o '"op":"open","file":"[^"]*/Zz.mid","length":[0-9]*' "$1" | head -n 1 | sed 's/.*://'; }
[[ -n "$(menu_length "$T/trace2.jsonl")" && "$(menu_length "$T/trace2.jsonl")" != "$(menu_length "$T/trace1.jsonl")" ]] \
  || fail "the player's Zz.mid was not played"
# The record replays from the player's folder by its plain name.
"$GAME" --headless --replay Ac3.txt --run-ms 1000 >/dev/null || fail "Ac3.txt cannot be replayed"
[[ "$(listing)" == "$before" ]] || fail "the runs changed the installation"
echo "installed game: hardened, player's guide; 9 tunes' renders shipped; settings, record, album and $caches colour caches in the XDG folders; read back; player's tune played"
