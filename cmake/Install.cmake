# The installed package: the libraries a terminal loads, their public headers, the data
# folder and the CMake package TTBrowse (targets TT::ttbrowse and friends). The embedded
# market (ttmarket) and the test fixture stay in the build tree: a consumer installs a
# market backend of its own (host/data/MarketBackend.h).
include(CMakePackageConfigHelpers)
set(TT_INSTALL_TARGETS tt_common)
foreach(t tthost tttoolkit tthostwidgets ttcharts ttquotemodel ttquoterbrowser ttbrowse ttpricet
  ttposition ttview)
  if(TARGET ${t})
    list(APPEND TT_INSTALL_TARGETS ${t})
  endif()
endforeach()
install(TARGETS ${TT_INSTALL_TARGETS} EXPORT TTBrowseTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# public headers only: no private (*_p.h) ones, nothing of the embedded market
foreach(dir host/data host/toolkit host/widgets host/charts browse view position pricet quoterbrowser)
  if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/${dir})
    install(DIRECTORY ${dir}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ttbrowse/${dir}
      FILES_MATCHING PATTERN "*.h" PATTERN "*_p.h" EXCLUDE)
  endif()
endforeach()
# found at run time relative to the libraries (host/data/DataDir.cpp)
install(DIRECTORY data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/ttbrowse)
install(EXPORT TTBrowseTargets NAMESPACE TT:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/TTBrowse)
configure_package_config_file(cmake/TTBrowseConfig.cmake.in
  ${CMAKE_BINARY_DIR}/TTBrowseConfig.cmake INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/TTBrowse)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/TTBrowseConfigVersion.cmake COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/TTBrowseConfig.cmake ${CMAKE_BINARY_DIR}/TTBrowseConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/TTBrowse)
