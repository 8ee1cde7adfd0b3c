# Shared build settings and helpers.

if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-Wall -Wextra)
endif()

if(WIN32)
  enable_language(RC)
  # Driver and monitor code is plain Unicode Win32; nothing needs the
  # min/max macros.
  add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
endif()

# vlp_windows_binary(<target> [DEF <file>] [RC <file>])
# Windows deliverables carry their C and C++ runtimes inside (only system
# DLLs are imported) and export exactly the names their .def file lists,
# undecorated on x86 as well. A resource script is compiled with the
# target's definitions: one script built into two model targets picks each
# model's version texts by the model definition the driver's objects carry.
function(vlp_windows_binary target)
  cmake_parse_arguments(ARG "" "DEF;RC" "" ${ARGN})
  set_target_properties(${target} PROPERTIES PREFIX "")
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++ -s)
  if(ARG_DEF)
    target_sources(${target} PRIVATE ${ARG_DEF})
    target_link_options(${target} PRIVATE -Wl,--kill-at -Wl,--exclude-all-symbols)
  endif()
  if(ARG_RC)
    target_sources(${target} PRIVATE ${ARG_RC})
  endif()
endfunction()

# vlp_gtest(<name> SOURCES ... [LIBS ...]): one GoogleTest executable whose
# cases are registered with CTest one by one.
function(vlp_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;DEFS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  # A library named here that no folder builds is a configure error, not a
  # plain -l flag that fails at link time or not at all.
  set_target_properties(${name} PROPERTIES LINK_LIBRARIES_ONLY_TARGETS ON)
  if(ARG_DEFS)
    target_compile_definitions(${name} PRIVATE ${ARG_DEFS})
  endif()
  if(VLP_SANITIZE)
    # Under the sanitizers every process start maps the shadow memory and
    # every exit runs the leak check (about 0.2 s of CPU each), which over a
    # thousand one-case processes costs more than the cases themselves: one
    # process per executable runs all of its cases.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 900)
  else()
    # Prefixed with the executable, so the two model builds of one test file
    # register distinct names.
    gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
  endif()
endfunction()

# VLP_SANITIZE: AddressSanitizer and UndefinedBehaviorSanitizer on everything,
# stopping at the first report. VLP_FUZZ (clang only): the code is also built
# with libFuzzer's coverage hooks and the fuzz/ targets are added.
option(VLP_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(VLP_FUZZ "Build the libFuzzer targets (clang)" OFF)
if(VLP_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
if(VLP_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VLP_FUZZ needs clang: libFuzzer comes with it")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
