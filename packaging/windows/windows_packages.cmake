# Windows: README.txt beside the programs, and the target that makes the
# installer and the portable zip of this architecture from the install rules.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(EMBERLINE_MSI_ARCH x64)
  set(EMBERLINE_WINDOWS_TEXT "64-bit Windows 10 and later")
else()
  set(EMBERLINE_MSI_ARCH x86)
  set(EMBERLINE_WINDOWS_TEXT "32-bit Windows")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/README.txt.in ${CMAKE_CURRENT_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt DESTINATION . COMPONENT emberline)

# Never changes: every version's installer replaces the one installed before,
# in place.
set(EMBERLINE_MSI_UPGRADE_CODE 21729FAD-6DA0-4B26-84FE-07ACEB4BBE1C)

# emberline-VERSION-windows-ARCH.msi and .zip in ${CMAKE_BINARY_DIR}/packages.
add_custom_target(windows-packages
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/make-packages.sh ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}/packages
          ${PROJECT_VERSION} ${EMBERLINE_MSI_ARCH} ${EMBERLINE_MSI_UPGRADE_CODE} "${EMBERLINE_RELEASE_DATE}"
  VERBATIM)
add_dependencies(windows-packages emberline emberline-gui)
