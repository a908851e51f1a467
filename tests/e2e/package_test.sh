#!/usr/bin/env bash
# The Debian package: `cpack -G DEB` of the build makes
# quelm_VERSION_amd64.deb, whose file list holds the programs (in
# /usr/games), the data, the desktop entry, the software-centre entry, the
# icons, the manual pages and the documents, whose dependencies were derived
# from the binaries, which lintian passes without errors or warnings, and
# whose bytes a second cpack of the same build repeats (the file times come
# from the commit, not the clock). Skipped without lintian.
#
# Usage: package_test.sh PATH/TO/quelm PATH/TO/data
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_init "$@"
BUILD_DIR="$(dirname "$QUELM_BIN")"
[ -d "$BUILD_DIR/data/models" ] || skip "$BUILD_DIR has no generated data of its own to package"
need_tools cpack dpkg-deb dpkg-shlibdeps lintian

version="$("$QUELM_BIN" --version | awk '{ print $2 }')"
(cd "$E2E_TMP" && env -u SOURCE_DATE_EPOCH cpack -G DEB --config "$BUILD_DIR/CPackConfig.cmake" -B "$E2E_TMP/package") \
    >"$E2E_TMP/cpack.txt" 2>&1 || fail "cpack failed: $(tail -n 10 "$E2E_TMP/cpack.txt")"
deb="$E2E_TMP/package/quelm_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $(basename "$deb"); cpack made: $(ls "$E2E_TMP/package")"

dpkg-deb -c "$deb" | awk '{ print $NF }' >"$E2E_TMP/files.txt"
for file in ./usr/games/quelm ./usr/games/quelm-info ./usr/share/quelm/models/terrain.3DS \
    ./usr/share/quelm/models/schrift/quelm.3ds ./usr/share/quelm/sound/rage.mp3 \
    ./usr/share/applications/quelm.desktop ./usr/share/metainfo/quelm.metainfo.xml \
    ./usr/share/icons/hicolor/48x48/apps/quelm.png \
    ./usr/share/icons/hicolor/128x128/apps/quelm.png ./usr/share/icons/hicolor/256x256/apps/quelm.png \
    ./usr/share/man/man6/quelm.6.gz ./usr/share/man/man6/quelm-info.6.gz ./usr/share/doc/quelm/README.md \
    ./usr/share/doc/quelm/copyright ./usr/share/doc/quelm/changelog.gz; do
    grep -q -x -F -- "$file" "$E2E_TMP/files.txt" || fail "the package lacks $file"
done
grep -q 'messages.log' "$E2E_TMP/files.txt" && fail "the package holds a messages.log"
grep -q '^\./usr/bin/' "$E2E_TMP/files.txt" && fail "a game's package with /usr/bin: $(grep '^\./usr/bin/' "$E2E_TMP/files.txt")"

depends="$(dpkg-deb -f "$deb" Depends)"
for library in libglut libsdl2-mixer libc6; do
    grep -q "$library" <<<"$depends" || fail "the dependencies lack $library: $depends"
done
[ "$(dpkg-deb -f "$deb" Section)" = games ] || fail "the package is not in the games section"

lintian --display-info --tag-display-limit 0 "$deb" >"$E2E_TMP/lintian.txt" 2>&1
lintianStatus=$?
if grep -q '^[EW]:' "$E2E_TMP/lintian.txt"; then
    fail "lintian reports: $(grep '^[EW]:' "$E2E_TMP/lintian.txt")"
fi
((lintianStatus == 0)) || fail "lintian could not check the package: $(tail -n 5 "$E2E_TMP/lintian.txt")"
grep '^I:' "$E2E_TMP/lintian.txt" >&2

# The same bytes again a few seconds later: nothing of the moment the
# package is made may end up in it. (Two clones in two folders: test.sh.)
sleep 2
(cd "$E2E_TMP" && env -u SOURCE_DATE_EPOCH cpack -G DEB --config "$BUILD_DIR/CPackConfig.cmake" -B "$E2E_TMP/again") \
    >"$E2E_TMP/cpack-again.txt" 2>&1 || fail "the second cpack failed: $(tail -n 10 "$E2E_TMP/cpack-again.txt")"
cmp -s "$deb" "$E2E_TMP/again/$(basename "$deb")" || fail "a second cpack of the same build gives other bytes"
e2e_log "passed: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB"
