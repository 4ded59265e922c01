# The Windows packages: `cmake --build build-win --target package` makes an NSIS
# installer (per machine, under Program Files, with a Start-menu entry and an
# uninstaller) and a portable zip of the same files.
if(WIN32)
  set(CPACK_PACKAGE_NAME orvix-config)
  set(CPACK_PACKAGE_VENDOR ${ORVIX_WINDOWS_VENDOR})
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configure an Orvix Sine / Benlo / Quenda UPS over a serial line")
  set(CPACK_PACKAGE_INSTALL_DIRECTORY "Orvix UPS")
  # One entry under Programs and Features whatever the version: a newer
  # installer finds the older one there and removes it first.
  set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Orvix UPS")
  set(CPACK_PACKAGE_FILE_NAME orvix-config-${PROJECT_VERSION}-windows-x64)
  set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_LIST_DIR}/windows-licenses.txt)
  set(CPACK_GENERATOR NSIS ZIP)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)

  # A 64-bit Unicode installer: the program and its DLLs are 64-bit, the
  # Start-menu entry's name is Japanese.
  set(CPACK_NSIS_DEFINES "Target amd64-unicode")
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  set(CPACK_NSIS_PACKAGE_NAME "Orvix UPS ${PROJECT_VERSION}")
  set(CPACK_NSIS_DISPLAY_NAME "Orvix UPS ${PROJECT_VERSION}")
  set(CPACK_NSIS_MUI_ICON ${ORVIX_ICON})
  set(CPACK_NSIS_MUI_UNIICON ${ORVIX_ICON})
  set(CPACK_NSIS_INSTALLED_ICON_NAME orvix-config.exe)
  set(CPACK_NSIS_MENU_LINKS orvix-config.exe "Orvix UPS 設定")
  set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
  set(CPACK_NSIS_MODIFY_PATH OFF)
  # Packing installs what was built; it does not build everything first.
  set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
  include(CPack)
endif()
