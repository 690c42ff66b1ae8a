# cmake -DRELEASE=1.0.0 -DOUTPUT=build_id.cpp -P build_id.cmake
#
# Writes OUTPUT, which defines emberline::version::program(): RELEASE, with
# "+g<commit>" when the source tree is the top of a git checkout and ".dirty" when
# tracked files differ from that commit. An unpacked archive, a machine
# without git, or a source tree inside someone else's repository gives the
# bare release. OUTPUT is rewritten only when its text changes.

set(version ${RELEASE})

# The tree this script really lives in (src/version/ of it): a tree of links
# to a checkout (the Debian package build) still names that checkout.
file(REAL_PATH ${CMAKE_CURRENT_LIST_DIR} here)
get_filename_component(tree ${here}/../.. ABSOLUTE)
find_program(GIT git)
if(GIT)
  execute_process(COMMAND ${GIT} -C ${tree} rev-parse --show-toplevel
                  OUTPUT_VARIABLE toplevel OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed ERROR_QUIET)
  if(NOT failed)
    file(REAL_PATH ${toplevel} toplevel)
  endif()
  if(NOT failed AND toplevel STREQUAL tree)
    execute_process(COMMAND ${GIT} -C ${tree} rev-parse --short=12 HEAD
                    OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed ERROR_QUIET)
    if(NOT failed AND commit MATCHES "^[0-9a-f]+$")
      string(APPEND version "+g${commit}")
      execute_process(COMMAND ${GIT} -C ${tree} diff --quiet HEAD --
                      RESULT_VARIABLE dirty OUTPUT_QUIET ERROR_QUIET)
      if(dirty EQUAL 1)
        string(APPEND version ".dirty")
      endif()
    endif()
  endif()
endif()

set(text "// Generated at build time by build_id.cmake: do not edit.
#include \"version/version.h\"

namespace emberline::version {

std::string_view program() { return \"${version}\"; }

}  // namespace emberline::version
")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
endif()
if(NOT old STREQUAL text)
  file(WRITE ${OUTPUT} "${text}")
endif()
