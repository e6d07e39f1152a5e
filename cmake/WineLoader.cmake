# The Wine that runs this Windows build's programs on Linux, found once, when the build is
# configured. Every test and script that runs a Windows program takes the loader and wineserver
# from here (the tests through their environment, scripts through wine.env in the build folder).
#
# The loader matches the build: the 64-bit loader for a 64-bit build, the 32-bit one for a 32-bit
# build. Debian's `wine` command is never used: it starts the 32-bit loader whenever wine32 is
# installed, which fails on machines that cannot execute 32-bit programs, even for a 64-bit build.
#
# Whether the loader runs at all is probed here, once per configure (it runs `--version`), so
# that a machine without 32-bit execution reports the 32-bit runtime tests as skipped instead of
# failing them. Sets:
#   QUILDOR_WINELOADER   the loader (cache; -D to choose another)
#   QUILDOR_WINESERVER   the wineserver (cache)
#   QUILDOR_WINE_RUNS    TRUE when the loader ran here
#   QUILDOR_WINE_WHY     one line saying why it cannot run, when it cannot
#   QUILDOR_WINE_ENV     the environment entries (a CMake list) that tests running Windows
#                        programs need, the prefix excepted

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_wine_bits 64)
  set(_wine_names wine64)
  set(_wine_dirs /usr/lib/wine /usr/lib64/wine /usr/lib/x86_64-linux-gnu/wine /usr/libexec/wine)
else()
  set(_wine_bits 32)
  set(_wine_names wine)
  set(_wine_dirs /usr/lib/wine /usr/lib/i386-linux-gnu/wine /usr/lib32/wine /usr/libexec/wine)
endif()

# Debian keeps the real loaders in /usr/lib/wine; /usr/bin holds only the choosing script.
find_program(QUILDOR_WINELOADER NAMES ${_wine_names} PATHS ${_wine_dirs} NO_DEFAULT_PATH
             DOC "The Wine loader for this build's programs")
if(NOT QUILDOR_WINELOADER AND _wine_bits EQUAL 64)
  find_program(QUILDOR_WINELOADER NAMES wine64 DOC "The Wine loader for this build's programs")
endif()
find_program(QUILDOR_WINESERVER NAMES wineserver64 wineserver wineserver32
             PATHS /usr/lib/wine /usr/lib64/wine /usr/libexec/wine NO_DEFAULT_PATH
             DOC "The Wine server")
if(NOT QUILDOR_WINESERVER)
  find_program(QUILDOR_WINESERVER NAMES wineserver DOC "The Wine server")
endif()

set(QUILDOR_WINE_RUNS FALSE)
if(NOT QUILDOR_WINELOADER)
  set(QUILDOR_WINE_WHY "no ${_wine_bits}-bit Wine loader is installed")
elseif(NOT QUILDOR_WINESERVER)
  set(QUILDOR_WINE_WHY "no wineserver is installed")
else()
  # Through the shell's exec, so that a loader the kernel cannot execute says so ("Exec format
  # error" where the kernel has no 32-bit execution) instead of being read as a shell script.
  execute_process(COMMAND sh -c "exec \"$1\" --version" probe ${QUILDOR_WINELOADER}
                  RESULT_VARIABLE _wine_rc OUTPUT_VARIABLE _wine_out ERROR_VARIABLE _wine_err
                  TIMEOUT 60 OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_STRIP_TRAILING_WHITESPACE)
  if(_wine_rc STREQUAL "0")
    set(QUILDOR_WINE_RUNS TRUE)
  else()
    string(REGEX REPLACE "[\r\n]+" " " _wine_err "${_wine_err}")
    string(REGEX REPLACE "^probe: [0-9]+: exec: " "" _wine_err "${_wine_err}")
    if(_wine_err STREQUAL "")
      set(_wine_err "exit status ${_wine_rc}")
    endif()
    set(QUILDOR_WINE_WHY
        "this machine cannot run the ${_wine_bits}-bit Wine loader (${_wine_err})")
  endif()
endif()
if(QUILDOR_WINE_RUNS)
  message(STATUS "Wine: ${QUILDOR_WINELOADER} (${_wine_out}), ${QUILDOR_WINESERVER}")
else()
  message(STATUS "Wine: ${QUILDOR_WINE_WHY}")
endif()

set(QUILDOR_WINE_ENV "WINELOADER=${QUILDOR_WINELOADER}" "WINESERVER=${QUILDOR_WINESERVER}"
    "WINEDEBUG=-all" "WINEDLLOVERRIDES=mscoree,mshtml=")
file(WRITE ${CMAKE_BINARY_DIR}/wine.env
     "WINELOADER='${QUILDOR_WINELOADER}'\nWINESERVER='${QUILDOR_WINESERVER}'\n")
