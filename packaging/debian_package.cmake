# cmake -DSOURCE_DIR=... -DWORK_DIR=... -DVERSION=1.0.0 -DRELEASE_DATE=2026-12-07 -P debian_package.cmake
#
# Builds emberline_VERSION_ARCH.deb in WORK_DIR with dpkg-buildpackage.
# debian/ must sit at the top of the tree it builds, so the build runs in
# WORK_DIR/emberline-VERSION: the source tree's folders as links, its files as
# copies (an installed file must not be a link into this machine's checkout),
# and a debian/ of links to packaging/debian with a changelog made from
# CHANGELOG.md's entry for VERSION. Its build folder stays there, so a second
# run only rebuilds what changed.

if(NOT RELEASE_DATE)
  message(FATAL_ERROR "CHANGELOG.md has no entry '## [${VERSION}] - YYYY-MM-DD': "
                      "write one before packaging version ${VERSION}")
endif()

set(tree ${WORK_DIR}/emberline-${VERSION})
file(MAKE_DIRECTORY ${tree})

# The source tree, renewed on every run.
file(GLOB old_entries LIST_DIRECTORIES true ${tree}/*)
foreach(entry IN LISTS old_entries)
  if(IS_SYMLINK ${entry})
    file(REMOVE ${entry})
  endif()
endforeach()
file(GLOB entries RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
foreach(entry IN LISTS entries)
  if(entry MATCHES "^(build|out|debian|obj-.*|\\..*)$")
    continue()
  elseif(IS_DIRECTORY ${SOURCE_DIR}/${entry})
    file(CREATE_LINK ${SOURCE_DIR}/${entry} ${tree}/${entry} SYMBOLIC)
  else()
    file(COPY_FILE ${SOURCE_DIR}/${entry} ${tree}/${entry} ONLY_IF_DIFFERENT)
  endif()
endforeach()

# debian/: the packaging files, and the changelog of this version. What
# debhelper kept of the last run goes (it would skip the build), but not the
# build folder.
file(REMOVE_RECURSE ${tree}/debian)
file(MAKE_DIRECTORY ${tree}/debian/source)
file(GLOB_RECURSE debian_files RELATIVE ${SOURCE_DIR}/packaging/debian ${SOURCE_DIR}/packaging/debian/*)
foreach(file IN LISTS debian_files)
  if(NOT file STREQUAL "changelog.in")
    file(CREATE_LINK ${SOURCE_DIR}/packaging/debian/${file} ${tree}/debian/${file} SYMBOLIC)
  endif()
endforeach()
execute_process(COMMAND date -u -R -d "${RELEASE_DATE} 12:00 UTC" OUTPUT_VARIABLE DATE
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
# The entry's text as the Debian changelog writes it: "### Added" becomes
# "Added:", "- item" becomes "* item", everything indented.
file(READ ${SOURCE_DIR}/CHANGELOG.md changelog)
string(FIND "${changelog}" "## [${VERSION}]" start)
string(SUBSTRING "${changelog}" ${start} -1 entry)
string(FIND "${entry}" "\n" heading_end)
string(SUBSTRING "${entry}" ${heading_end} -1 entry)
string(FIND "${entry}" "\n## " next)
string(SUBSTRING "${entry}" 0 ${next} entry)
string(STRIP "${entry}" entry)
string(REGEX REPLACE "(^|\n)### ([^\n]*)" "\\1\\2:" entry "${entry}")
string(REGEX REPLACE "(^|\n)- " "\\1* " entry "${entry}")
string(REGEX REPLACE "\n([^\n])" "\n  \\1" ENTRY "  ${entry}")
configure_file(${SOURCE_DIR}/packaging/debian/changelog.in ${tree}/debian/changelog @ONLY)

file(GLOB old_packages ${WORK_DIR}/emberline_*.deb ${WORK_DIR}/emberline-dbgsym_*.deb)
if(old_packages)
  file(REMOVE ${old_packages})
endif()

# The build folder is kept only for the same compiler flags: CMake takes
# them from the environment when it first configures a folder, never again.
execute_process(COMMAND dpkg-buildflags OUTPUT_VARIABLE flags COMMAND_ERROR_IS_FATAL ANY)
set(flags "DEB_BUILD_OPTIONS=$ENV{DEB_BUILD_OPTIONS}\n${flags}")
set(flags_stamp ${WORK_DIR}/build-flags)
if(EXISTS ${flags_stamp})
  file(READ ${flags_stamp} old_flags)
endif()
if(NOT old_flags STREQUAL flags)
  file(GLOB build_dirs ${tree}/obj-*)
  if(build_dirs)
    file(REMOVE_RECURSE ${build_dirs})
  endif()
  file(WRITE ${flags_stamp} "${flags}")
endif()

# The outer make's job server is not the package build's.
cmake_host_system_information(RESULT cores QUERY NUMBER_OF_LOGICAL_CORES)
set(options "$ENV{DEB_BUILD_OPTIONS} parallel=${cores}")
string(STRIP "${options}" options)
message(STATUS "dpkg-buildpackage in ${tree} (log: ${WORK_DIR}/build.log)")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS --unset=MFLAGS --unset=MAKELEVEL
          DEB_BUILD_OPTIONS=${options}
          dpkg-buildpackage --build=binary --no-sign --no-pre-clean
  WORKING_DIRECTORY ${tree}
  OUTPUT_FILE ${WORK_DIR}/build.log ERROR_FILE ${WORK_DIR}/build.log
  RESULT_VARIABLE failed)
if(failed)
  execute_process(COMMAND tail -n 40 ${WORK_DIR}/build.log)
  message(FATAL_ERROR "dpkg-buildpackage failed (${failed}): ${WORK_DIR}/build.log")
endif()
execute_process(COMMAND dpkg-architecture -qDEB_HOST_ARCH OUTPUT_VARIABLE arch OUTPUT_STRIP_TRAILING_WHITESPACE)
message(STATUS "${WORK_DIR}/emberline_${VERSION}_${arch}.deb")
