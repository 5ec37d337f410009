# The browser build, configured by scripts/web through emcmake: the game core
# and the page's host compiled to WebAssembly, and the page around them.
# JPEG and zlib come prebuilt from Debian's sources (KELVANE_WEB_DEPS);
# emscripten's ports would download at build time.
set(KELVANE_WEB_DEPS "" CACHE PATH "JPEG and zlib for the browser: include/ and lib/")
set(KELVANE_WEB_DATA "" CACHE PATH "The forged data folder the page preloads")
set(KELVANE_WEB_NPM "" CACHE PATH "The npm folder holding js-synthesizer")
set(KELVANE_WEB_ICONS "" CACHE PATH "Icons from the game's logo (hicolor/NxN/apps/kelvane.png)")
set(KELVANE_WEB_SOUNDFONT /usr/share/sounds/sf2/TimGM6mb.sf2 CACHE FILEPATH
    "The General MIDI soundfont the page plays MIDI tunes without a render with")
set(KELVANE_WEB_TUNES "" CACHE PATH
    "The default tunes as the desktop ships them (the native build's game/renders: tunes.json and MP3 files)")
foreach(var KELVANE_WEB_DEPS KELVANE_WEB_DATA KELVANE_WEB_NPM KELVANE_WEB_ICONS KELVANE_WEB_TUNES)
  if(NOT ${var})
    message(FATAL_ERROR "${var} is not set: configure the browser build through scripts/web")
  endif()
endforeach()

# Shift-JIS conversion from tables the build machine's iconv writes: the
# page's C library converts some characters differently.
find_program(KELVANE_HOST_CXX NAMES c++ g++ clang++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
set(KELVANE_CP932_DIR ${CMAKE_BINARY_DIR}/generated)
add_custom_command(
  OUTPUT ${KELVANE_CP932_DIR}/cp932_table.h
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KELVANE_CP932_DIR}
  COMMAND ${KELVANE_HOST_CXX} -std=c++20 -O1 ${CMAKE_SOURCE_DIR}/platform/web/cp932_table_gen.cpp
          -o ${KELVANE_CP932_DIR}/cp932_table_gen
  COMMAND sh -c "${KELVANE_CP932_DIR}/cp932_table_gen > ${KELVANE_CP932_DIR}/cp932_table.h"
  DEPENDS ${CMAKE_SOURCE_DIR}/platform/web/cp932_table_gen.cpp
  COMMENT "Writing the Shift-JIS tables"
  VERBATIM)
list(FILTER KELVANE_CORE_SOURCES EXCLUDE REGEX ".*/platform/core/text_codec\\.cpp$")
list(APPEND KELVANE_CORE_SOURCES ${CMAKE_SOURCE_DIR}/platform/web/text_codec_page.cpp
     ${KELVANE_CP932_DIR}/cp932_table.h)

# WebAssembly's vector instructions: the compiler may run the game's pixel
# loops four or sixteen lanes at a time. Integer results are the same.
add_compile_options(-msimd128)
add_link_options(-msimd128)
# Warnings fail the page's build as they fail the desktop's under test.
add_compile_options(-Werror)

add_library(kelvane_core STATIC ${KELVANE_CORE_SOURCES})
target_include_directories(kelvane_core PUBLIC ${CMAKE_SOURCE_DIR} ${KELVANE_WEB_DEPS}/include
                           ${KELVANE_CP932_DIR})
target_link_libraries(kelvane_core PUBLIC ${KELVANE_WEB_DEPS}/lib/libjpeg.a
                                          ${KELVANE_WEB_DEPS}/lib/libz.a)

set(KELVANE_PAGE_DIR ${CMAKE_BINARY_DIR}/page)

# The data the page preloads: the forged folder without what a player
# writes (settings, records, caches) and without the desktop program.
set(KELVANE_WEB_STAGE ${CMAKE_BINARY_DIR}/stage)
set(KELVANE_WEB_STAGE_STAMP ${CMAKE_BINARY_DIR}/stage.stamp)
file(GLOB KELVANE_WEB_DATA_FILES CONFIGURE_DEPENDS ${KELVANE_WEB_DATA}/*)
add_custom_command(
  OUTPUT ${KELVANE_WEB_STAGE_STAMP}
  COMMAND ${CMAKE_COMMAND} -DFROM=${KELVANE_WEB_DATA} -DTO=${KELVANE_WEB_STAGE}
          -P ${CMAKE_SOURCE_DIR}/platform/web/stage_data.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${KELVANE_WEB_STAGE_STAMP}
  DEPENDS ${KELVANE_WEB_DATA_FILES} ${CMAKE_SOURCE_DIR}/platform/web/stage_data.cmake
  COMMENT "Staging the data folder for the page"
  VERBATIM)
add_custom_target(kelvane_web_stage DEPENDS ${KELVANE_WEB_STAGE_STAMP})

file(GLOB KELVANE_WEB_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/web/*.cpp)
list(FILTER KELVANE_WEB_SOURCES EXCLUDE REGEX ".*/(text_codec_page|cp932_table_gen)\\.cpp$")
add_executable(kelvane ${KELVANE_WEB_SOURCES})
target_link_libraries(kelvane PRIVATE kelvane_core)
add_dependencies(kelvane kelvane_web_stage)
set_target_properties(kelvane PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${KELVANE_PAGE_DIR}
  SUFFIX .js)
target_link_options(kelvane PRIVATE
  -sENVIRONMENT=web
  -sALLOW_MEMORY_GROWTH=1
  -sINITIAL_MEMORY=64MB
  -sFORCE_FILESYSTEM=1
  -sEXIT_RUNTIME=0
  -sINVOKE_RUN=0
  -lidbfs.js
  "-sEXPORTED_RUNTIME_METHODS=[FS,IDBFS,ccall,cwrap,UTF8ToString]"
  "-sEXPORTED_FUNCTIONS=[_malloc,_free]")

# The page itself, the synthesiser and the soundfont beside the program.
file(GLOB KELVANE_PAGE_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/web/page/*)
set(KELVANE_PAGE_STAMP ${CMAKE_BINARY_DIR}/page.stamp)
set(KELVANE_SYNTH_DIR ${KELVANE_WEB_NPM}/node_modules/js-synthesizer)
add_custom_command(
  OUTPUT ${KELVANE_PAGE_STAMP}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KELVANE_PAGE_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${KELVANE_PAGE_FILES} ${KELVANE_PAGE_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${KELVANE_SYNTH_DIR}/dist/js-synthesizer.worklet.min.js
          ${KELVANE_SYNTH_DIR}/externals/libfluidsynth-2.4.6.js ${KELVANE_PAGE_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${KELVANE_WEB_SOUNDFONT} ${KELVANE_PAGE_DIR}/soundfont.sf2
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${KELVANE_WEB_TUNES} ${KELVANE_PAGE_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${KELVANE_PAGE_STAMP}
  DEPENDS ${KELVANE_PAGE_FILES} ${KELVANE_WEB_TUNES}/tunes.json
  VERBATIM)
add_custom_target(kelvane_page ALL DEPENDS ${KELVANE_PAGE_STAMP})

find_program(KELVANE_NODE NAMES node nodejs REQUIRED NO_CMAKE_FIND_ROOT_PATH)
# The page's texts come from the desktop's translation files, converted at
# build time, so a text is translated once for both.
file(GLOB KELVANE_TS_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/qt/i18n/*.ts)
add_custom_command(
  OUTPUT ${KELVANE_PAGE_DIR}/kelvane-texts.json
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KELVANE_PAGE_DIR}
  COMMAND ${KELVANE_NODE} ${CMAKE_SOURCE_DIR}/tools/ts-to-json.cjs
          ${KELVANE_PAGE_DIR}/kelvane-texts.json ${KELVANE_TS_FILES}
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/ts-to-json.cjs ${KELVANE_TS_FILES}
  COMMENT "Converting the translations for the page"
  VERBATIM)
add_custom_target(kelvane_page_texts ALL DEPENDS ${KELVANE_PAGE_DIR}/kelvane-texts.json)

# The data as one streamed file, the icons, the file list with the build's
# hash, the service worker and the compressed copies (pack_page.cjs).
set(KELVANE_PACK_STAMP ${CMAKE_BINARY_DIR}/pack.stamp)
add_custom_command(
  OUTPUT ${KELVANE_PACK_STAMP}
  COMMAND ${KELVANE_NODE} ${CMAKE_SOURCE_DIR}/platform/web/pack_page.cjs --page ${KELVANE_PAGE_DIR}
          --stage ${KELVANE_WEB_STAGE} --icons ${KELVANE_WEB_ICONS}
          --worker ${CMAKE_SOURCE_DIR}/platform/web/kelvane-sw.js
  COMMAND ${CMAKE_COMMAND} -E touch ${KELVANE_PACK_STAMP}
  DEPENDS kelvane ${KELVANE_PAGE_STAMP} ${KELVANE_WEB_STAGE_STAMP} ${KELVANE_PAGE_DIR}/kelvane-texts.json
          ${CMAKE_SOURCE_DIR}/platform/web/pack_page.cjs ${CMAKE_SOURCE_DIR}/platform/web/kelvane-sw.js
  COMMENT "Packing the page"
  VERBATIM)
add_custom_target(kelvane_page_pack ALL DEPENDS ${KELVANE_PACK_STAMP})
