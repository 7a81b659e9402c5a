# The Windows desktop program MP3Partwell.exe, the command-line program built for Windows,
# and the window tests, which ctest runs under Wine (tools/wine-run.sh is the emulator).
enable_language(RC)

# Resources as an object library: a .res inside a static library is dropped by the linker,
# since nothing refers to it by name.
add_library(partwell_resources OBJECT resources/partwell.rc)
target_include_directories(partwell_resources PRIVATE resources ${PARTWELL_GENERATED_DIR})
set(version_resource_inputs
  "${CMAKE_SOURCE_DIR}/resources/version_info.rc;${PARTWELL_GENERATED_DIR}/partwell_version.h")
set_source_files_properties(resources/partwell.rc PROPERTIES OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/resources/resource_ids.h;${CMAKE_SOURCE_DIR}/resources/help.txt;${CMAKE_SOURCE_DIR}/resources/partwell.ico;${CMAKE_SOURCE_DIR}/resources/partwell.manifest;${version_resource_inputs}")

# The window code, apart from the entry point, so that the tests can create the real windows.
# The programs link the core (with its file backend) themselves, after the window code.
partwell_layer(window EXCLUDE main_win.cpp BELOW partwell_view partwell_join partwell_split
               partwell_analysis)
target_include_directories(partwell_window PUBLIC resources)
target_link_libraries(partwell_window PUBLIC comctl32 comdlg32 shell32 ole32 gdi32 winmm)

add_executable(MP3Partwell WIN32 src/window/main_win.cpp)
target_link_libraries(MP3Partwell PRIVATE partwell_window partwell_core partwell_resources)

# The command-line program, for Windows consoles. CLI11 is header-only; give the compiler
# its folder alone, not the whole of the build machine's /usr/include.
find_path(CLI11_HOST_DIR CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
if(CLI11_HOST_DIR)
  set(cli11_dir ${CMAKE_BINARY_DIR}/cli11-include)
  file(MAKE_DIRECTORY ${cli11_dir})
  file(CREATE_LINK ${CLI11_HOST_DIR}/CLI ${cli11_dir}/CLI SYMBOLIC)
  set(CLI11_INCLUDE_DIR ${cli11_dir} CACHE PATH "" FORCE)
  add_subdirectory(src/cli)
endif()

option(PARTWELL_WINDOW_TESTS "Build the window tests (run under Wine)" ON)
if(PARTWELL_WINDOW_TESTS)
  set(GTEST_SOURCE_DIR /usr/src/googletest/googletest CACHE PATH "GoogleTest sources")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_gtest EXCLUDE_FROM_ALL)

  set(wine_run ${CMAKE_SOURCE_DIR}/tools/wine-run.sh)
  add_test(NAME wine_setup COMMAND ${wine_run} --setup)
  add_test(NAME wine_teardown COMMAND ${wine_run} --teardown)
  set_tests_properties(wine_setup PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
  set_tests_properties(wine_teardown PROPERTIES FIXTURES_CLEANUP wine)

  function(partwell_window_test name gtest)
    add_executable(${name} tests/win/${name}.cpp tests/win/test_media.cpp)
    target_include_directories(${name} PRIVATE tests/win)
    target_link_libraries(${name} PRIVATE partwell_window partwell_core partwell_resources ${gtest})
    # ctest runs "<emulator> <path>/name.exe ..."
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no ${ARGN})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)
  endfunction()

  partwell_window_test(shell_window_test GTest::gtest_main)
  partwell_window_test(split_page_window_test GTest::gtest_main)
  partwell_window_test(job_window_test GTest::gtest_main)
  partwell_window_test(cue_buttons_window_test GTest::gtest_main)
  partwell_window_test(chapters_window_test GTest::gtest_main)
  # Drive the real program (or its windows) and compare their output with the command-line
  # program's, also on real MP3s that lame makes on the build machine before the tests.
  set(real_mp3s ${CMAKE_BINARY_DIR}/real-mp3s)
  add_test(NAME real_mp3s COMMAND sh ${CMAKE_SOURCE_DIR}/tests/win/make_real_mp3s.sh ${real_mp3s})
  set_tests_properties(real_mp3s PROPERTIES FIXTURES_SETUP real_mp3s)
  partwell_window_test(program_window_test GTest::gtest
    --program=$<TARGET_FILE:MP3Partwell> --cli=$<TARGET_FILE:mp3partwell> --real-mp3s=${real_mp3s})
  set_tests_properties(program_window_test PROPERTIES FIXTURES_REQUIRED "wine;real_mp3s")
  add_dependencies(program_window_test MP3Partwell mp3partwell)
  partwell_window_test(join_page_window_test GTest::gtest
    --cli=$<TARGET_FILE:mp3partwell> --real-mp3s=${real_mp3s})
  set_tests_properties(join_page_window_test PROPERTIES FIXTURES_REQUIRED "wine;real_mp3s")
  add_dependencies(join_page_window_test mp3partwell)
  partwell_window_test(silences_window_test GTest::gtest
    --cli=$<TARGET_FILE:mp3partwell> --real-mp3s=${real_mp3s})
  set_tests_properties(silences_window_test PROPERTIES FIXTURES_REQUIRED "wine;real_mp3s")
  add_dependencies(silences_window_test mp3partwell)

  # The Overview on a generated album of a few minutes with pauses.
  set(overview_album ${CMAKE_BINARY_DIR}/overview-album)
  add_test(NAME overview_album
           COMMAND sh ${CMAKE_SOURCE_DIR}/tests/win/make_overview_album.sh ${overview_album})
  set_tests_properties(overview_album PROPERTIES FIXTURES_SETUP overview_album)
  partwell_window_test(overview_window_test GTest::gtest --album=${overview_album}
                       --cli=$<TARGET_FILE:mp3partwell>)
  set_tests_properties(overview_window_test PROPERTIES FIXTURES_REQUIRED "wine;overview_album")
  add_dependencies(overview_window_test mp3partwell)
  # The first paint of an hour's Overview (its time is printed for the README).
  set(overview_hour ${CMAKE_BINARY_DIR}/overview-hour)
  add_test(NAME overview_hour
           COMMAND sh ${CMAKE_SOURCE_DIR}/tests/win/make_overview_hour.sh ${overview_hour})
  set_tests_properties(overview_hour PROPERTIES FIXTURES_SETUP overview_hour)
  partwell_window_test(overview_hour_window_test GTest::gtest --hour=${overview_hour})
  set_tests_properties(overview_hour_window_test PROPERTIES FIXTURES_REQUIRED "wine;overview_hour")

  # What the Overview plays, captured from Wine's ALSA output by the file plugin that
  # the test's own HOME names.
  set(sound_home ${CMAKE_BINARY_DIR}/overview-sound)
  file(WRITE ${sound_home}/.asoundrc "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"${sound_home}/played.raw\"\n  format \"raw\"\n}\n")
  partwell_window_test(overview_sound_window_test GTest::gtest --album=${overview_album}
                       --capture=${sound_home}/played.raw)
  target_link_libraries(overview_sound_window_test PRIVATE MPG123::libmpg123)
  set_tests_properties(overview_sound_window_test PROPERTIES FIXTURES_REQUIRED
                       "wine;overview_album" ENVIRONMENT HOME=${sound_home})

  # The Windows command-line program finds the same silences as the native one
  # (scripts/test-windows.sh builds that and names it).
  set(PARTWELL_NATIVE_CLI "" CACHE FILEPATH "The native mp3partwell, to compare with")
  if(PARTWELL_NATIVE_CLI)
    add_test(NAME silences_same_as_native
             COMMAND ${CMAKE_SOURCE_DIR}/tests/win/silences_same_as_native.sh ${wine_run}
                     $<TARGET_FILE:mp3partwell> ${PARTWELL_NATIVE_CLI})
    set_tests_properties(silences_same_as_native PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)
  endif()
endif()
