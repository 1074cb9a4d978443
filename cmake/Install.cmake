# Everything installs into one self-contained folder: the programs, the access
# library beside them (found through $ORIGIN), the help page, the icon, a desktop
# entry and a systemd unit. The window keeps its settings file in that folder too.
# On Windows the same folder, without the Linux extras, becomes a ZIP.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT AND NOT WIN32)
  set(CMAKE_INSTALL_PREFIX "/opt/kavel-eventmanager" CACHE PATH "Install folder" FORCE)
endif()

set(kavel_programs eventmanager eventmanager-headless qrix-sim qrix-emulator KavelTestApplication)
# The test tool is linked statically: it has no run path to rewrite.
if(TARGET KavelTestApplication)
  set_target_properties(KavelTestApplication PROPERTIES INSTALL_RPATH "")
endif()
foreach(program ${kavel_programs})
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION .)
  endif()
endforeach()
if(TARGET ControllerAccessLibrary)
  # The programs find the DLL beside them; its import library stays out of the package.
  install(TARGETS ControllerAccessLibrary LIBRARY DESTINATION . RUNTIME DESTINATION .
          ARCHIVE DESTINATION lib EXCLUDE_FROM_ALL)
endif()

if(WIN32)
  # The help page goes with the package even where the window is built elsewhere.
  install(FILES ${CMAKE_SOURCE_DIR}/app/window/eventmanager.html ${CMAKE_SOURCE_DIR}/docs/README-Windows.txt
          DESTINATION .)
  set(CPACK_GENERATOR "ZIP")
  set(CPACK_PACKAGE_NAME "kavel-eventmanager")
  set(CPACK_PACKAGE_VENDOR "Kavel")
  set(CPACK_PACKAGE_FILE_NAME "kavel-eventmanager-${PROJECT_VERSION}-win64")
  set(CPACK_STRIP_FILES ON)
  include(CPack)
  return()
endif()

set(kavel_packaging ${CMAKE_SOURCE_DIR}/app/window/packaging)
if(TARGET eventmanager)
  install(FILES ${CMAKE_SOURCE_DIR}/app/window/eventmanager.html DESTINATION .)
  install(FILES ${CMAKE_SOURCE_DIR}/app/window/resources/eventmanager.png DESTINATION .)
endif()
install(CODE "
  set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
  if(DEFINED ENV{DESTDIR})
    set(destination \"\$ENV{DESTDIR}\${prefix}\")
  else()
    set(destination \"\${prefix}\")
  endif()
  foreach(template eventmanager.desktop eventmanager-headless.service)
    file(READ \"${kavel_packaging}/\${template}.in\" text)
    string(REPLACE \"@PREFIX@\" \"\${prefix}\" text \"\${text}\")
    file(WRITE \"\${destination}/\${template}\" \"\${text}\")
    message(STATUS \"Installing: \${destination}/\${template}\")
  endforeach()
")

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "kavel-eventmanager")
set(CPACK_PACKAGE_VENDOR "Kavel")
set(CPACK_PACKAGE_CONTACT "Event manager developers <dev@kavel.local>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Event manager for the q.rix measurement and automation controller")
set(CPACK_PACKAGING_INSTALL_PREFIX "/opt/kavel-eventmanager")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION "science")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
