# Shared settings for every target of the project.
#
# Warnings: -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow
# catch the byte arithmetic mistakes this program is most exposed to
# (truncation of offsets, signed/unsigned mix-ups in the channel byte rules).
# Qt and GoogleTest headers come in as system includes, so their own
# warnings do not count against us. GCC 12's -Wmaybe-uninitialized is off:
# at -O2 it reports moved-from std::optional<QString> values that are never
# read (a known false positive of that release), and -Werror would turn
# those into failed builds.

function(kestrin_target_defaults target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow
    -Wnon-virtual-dtor -Woverloaded-virtual)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
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

# Precompiled headers for the targets that use Qt: each of their translation
# units would otherwise parse the same large Qt headers (and, in the test
# programs, GoogleTest's) again. The headers in precompiled_qt.h are those of
# the Qt modules the target links. A target of one source file parses them
# once anyway and gets none.
function(kestrin_precompile_qt_headers target)
  cmake_parse_arguments(ARG "GTEST" "" "" ${ARGN})
  get_target_property(sources ${target} SOURCES)
  list(LENGTH sources count)
  if(count LESS 2)
    return()
  endif()
  if(ARG_GTEST)
    target_precompile_headers(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/precompiled_tests.h)
  else()
    target_precompile_headers(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/precompiled_qt.h)
  endif()
endfunction()
