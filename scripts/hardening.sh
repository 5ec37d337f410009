# Sourced by scripts/package and scripts/test: Debian's hardening flags for
# every part of the program (with immediate binding, hardening=+all), as
# CMake options in HARDENING. Asked for in the source folder, so the file
# prefix map they carry is the same from wherever the script was started.
# CMake reads no CPPFLAGS, where _FORTIFY_SOURCE is.
HARDENING=()
if command -v dpkg-buildflags >/dev/null; then
  eval "$(cd "$ROOT" && DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
  HARDENING=(-DCMAKE_C_FLAGS="$CFLAGS $CPPFLAGS" -DCMAKE_CXX_FLAGS="$CXXFLAGS $CPPFLAGS"
             -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_SHARED_LINKER_FLAGS="$LDFLAGS"
             -DCMAKE_POSITION_INDEPENDENT_CODE=ON)
  unset ASFLAGS CFLAGS CPPFLAGS CXXFLAGS DFLAGS FCFLAGS FFLAGS GCJFLAGS LDFLAGS OBJCFLAGS OBJCXXFLAGS
fi
