# Shared settings for every target of the project.
#
# Warnings: -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow
# catch the byte arithmetic mistakes this program is most exposed to
# (truncation of offsets, signed/unsigned mix-ups in the channel byte rules).
# Qt and GoogleTest headers come in as system includes, so their own
# warnings do not count against us. GCC 12's -Wmaybe-uninitialized is off:
# at -O2 it reports moved-from std::optional<QString> values that are never
# read (a known false positive of that release), and -Werror would turn
# those into failed builds. For the same reason GCC 12's -Wrestrict and
# -Warray-bounds are off: at -O3 (a plain Release build) they report
# std::string's own copies in operator+ and insert as overlapping or out of
# bounds. AddressSanitizer checks bounds in the test runs instead.

function(kestrin_target_defaults target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow
    -Wnon-virtual-dtor -Woverloaded-virtual)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
    if(CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
      target_compile_options(${target} PRIVATE -Wno-restrict -Wno-array-bounds)
    endif()
  endif()
  if(KESTRIN_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A target that uses Qt: defaults plus moc.
function(kestrin_qt_target target)
  kestrin_target_defaults(${target})
  set_target_properties(${target} PROPERTIES AUTOMOC ON AUTORCC ON)
  target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS)
  kestrin_precompile_qt_headers(${target} ${ARGN})
endfunction()

# Precompiled headers for the targets that use Qt's widgets: each of their
# translation units would otherwise parse the same large Qt headers (and, in
# the test programs, GoogleTest's) again. Two sets are compiled once per
# build, precompiled_qt.h for the libraries and programs and
# precompiled_tests.h for the test programs, and every such target of two or
# more source files reuses one (a target of one source file parses the
# headers once anyway). Whether a target uses the widgets is known only when
# all its links are, so the choice waits for the end of the configuration.
function(kestrin_precompile_qt_headers target)
  cmake_parse_arguments(ARG "GTEST" "" "" ${ARGN})
  get_target_property(sources ${target} SOURCES)
  list(LENGTH sources count)
  if(count LESS 2)
    return()
  endif()
  set(kind qt)
  if(ARG_GTEST)
    set(kind tests)
  endif()
  # (A deferred call reads its arguments when it runs: EVAL fixes them now.)
  cmake_language(EVAL CODE "cmake_language(DEFER DIRECTORY [[${PROJECT_SOURCE_DIR}]]
    CALL kestrin_reuse_precompiled_headers [[${target}]] [[${kind}]])")
endfunction()

# Whether `target` sees Qt's widget headers: it links Qt6::Widgets, or a
# target that passes it on.
function(kestrin_sees_qt_widgets target property result)
  set(${result} FALSE PARENT_SCOPE)
  get_target_property(links ${target} ${property})
  if(NOT links)
    return()
  endif()
  foreach(link ${links})
    if(link STREQUAL "Qt6::Widgets")
      set(${result} TRUE PARENT_SCOPE)
      return()
    endif()
    if(TARGET ${link})
      kestrin_sees_qt_widgets(${link} INTERFACE_LINK_LIBRARIES sees)
      if(sees)
        set(${result} TRUE PARENT_SCOPE)
        return()
      endif()
    endif()
  endforeach()
endfunction()

# The set's own target links what its users link for those headers, so it is
# compiled with their options and Qt definitions: GCC takes a precompiled
# header only from a compilation like its own, and CMake's -Winvalid-pch,
# with -Werror, fails the build where it would not.
function(kestrin_reuse_precompiled_headers target kind)
  kestrin_sees_qt_widgets(${target} LINK_LIBRARIES sees)
  if(NOT sees)
    return()
  endif()
  set(pch kestrin_precompiled_${kind})
  if(NOT TARGET ${pch})
    add_library(${pch} OBJECT ${PROJECT_SOURCE_DIR}/cmake/precompiled.cpp)
    target_link_libraries(${pch} PRIVATE Qt6::Widgets)
    if(kind STREQUAL "tests")
      target_link_libraries(${pch} PRIVATE GTest::gtest)
    endif()
    target_compile_definitions(${pch} PRIVATE QT_NO_KEYWORDS)
    target_precompile_headers(${pch} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/precompiled_${kind}.h)
    kestrin_target_defaults(${pch})
  endif()
  target_precompile_headers(${target} REUSE_FROM ${pch})
endfunction()
