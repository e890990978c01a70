include(CMakePackageConfigHelpers)
set(TT_INSTALL_TARGETS tt_common)
foreach(t tthost tttoolkit tthostwidgets ttquotemodel ttbrowse ttpricet)
  if(TARGET ${t})
    list(APPEND TT_INSTALL_TARGETS ${t})
  endif()
endforeach()
install(TARGETS ${TT_INSTALL_TARGETS} EXPORT TTBrowseTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(dir host browse view position pricet quoterbrowser)
  install(DIRECTORY ${dir}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ttbrowse/${dir}
    FILES_MATCHING PATTERN "*.h")
endforeach()
install(DIRECTORY data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/ttbrowse)
install(EXPORT TTBrowseTargets NAMESPACE TT:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/TTBrowse)
configure_package_config_file(cmake/TTBrowseConfig.cmake.in
  ${CMAKE_BINARY_DIR}/TTBrowseConfig.cmake INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/TTBrowse)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/TTBrowseConfigVersion.cmake COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/TTBrowseConfig.cmake ${CMAKE_BINARY_DIR}/TTBrowseConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/TTBrowse)
