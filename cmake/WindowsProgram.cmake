# orvix-config.exe as Windows runs it: a window program (no console beside it)
# with its icon and version resource; installed with Qt's DLLs, the platform
# plugin and the licence texts beside it, as Qt's own deployment tool lays them
# out; packed as an NSIS installer and a portable zip (cmake/WindowsPackage.cmake).
if(NOT WIN32 OR NOT TARGET orvix-config)
  return()
endif()
# The name the program gives itself (ui/Application.cpp), which packaging/
# holds on Linux; the window tests check it here too.
set(ORVIX_APP_ID org.orvix.OrvixConfig)

set(ORVIX_WINDOWS_VENDOR "Orvix configuration maintainers")
set(ORVIX_ICON ${PROJECT_SOURCE_DIR}/ui/orvix-config.ico)
set(CPACK_PACKAGE_VENDOR ${ORVIX_WINDOWS_VENDOR})
configure_file(${PROJECT_SOURCE_DIR}/ui/orvix-config.rc.in ${CMAKE_BINARY_DIR}/orvix-config.rc @ONLY)
target_sources(orvix-config PRIVATE ${CMAKE_BINARY_DIR}/orvix-config.rc)
set_target_properties(orvix-config PROPERTIES WIN32_EXECUTABLE ON)

# Qt's prefix: two levels above its CMake package folder.
get_filename_component(ORVIX_QT_PREFIX "${Qt6_DIR}/../../.." ABSOLUTE)
get_target_property(orvix_qt_type Qt6::Core TYPE)

install(TARGETS orvix-config RUNTIME DESTINATION .)
# The command line beside the window program, on the same DLLs.
if(TARGET orvix-ups)
  install(TARGETS orvix-ups RUNTIME DESTINATION .)
endif()
if(orvix_qt_type STREQUAL "SHARED_LIBRARY")
  # The DLLs the program loads, and the runtime DLLs they load in turn.
  foreach(module Core Gui Widgets)
    install(FILES $<TARGET_FILE:Qt6::${module}> DESTINATION .)
  endforeach()
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    if(EXISTS ${ORVIX_QT_PREFIX}/bin/${dll})
      install(FILES ${ORVIX_QT_PREFIX}/bin/${dll} DESTINATION .)
    endif()
  endforeach()
  install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
endif()
# Qt under the LGPL: its licence texts, and where its source comes from.
if(EXISTS ${ORVIX_QT_PREFIX}/licenses)
  install(DIRECTORY ${ORVIX_QT_PREFIX}/licenses/ DESTINATION licenses)
endif()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/windows-licenses.txt DESTINATION licenses
        RENAME README.txt)

include(${CMAKE_CURRENT_LIST_DIR}/WindowsPackage.cmake)
