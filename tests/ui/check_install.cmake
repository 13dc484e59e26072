# Installs the build below a staging directory (DESTDIR) and checks that the
# three programs, the icons, the desktop entry, the manual pages and the udev
# rule are in place, the rule where udev reads it for a system prefix.
# -DBUILD_DIR=... -DSTAGE=... -DINSTALL_PREFIX=... -DUDEV_DIR=... -DSOURCE_DIR=...
file(REMOVE_RECURSE "${STAGE}")
set(ENV{DESTDIR} "${STAGE}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(root "${STAGE}${INSTALL_PREFIX}")
set(expected
  bin/wegmate
  bin/wegmate-cli
  bin/wegmate-sim
  share/applications/wegmate.desktop
  share/icons/hicolor/scalable/apps/wegmate.svg
  share/icons/hicolor/48x48/apps/wegmate.png
  share/icons/hicolor/256x256/apps/wegmate.png
  share/man/man1/wegmate.1.gz
  share/man/man1/wegmate-cli.1.gz
  share/man/man1/wegmate-sim.1.gz)
foreach(path IN LISTS expected)
  if(NOT EXISTS "${root}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
if(INSTALL_PREFIX STREQUAL "/usr" OR INSTALL_PREFIX STREQUAL "/usr/local")
  if(NOT UDEV_DIR STREQUAL "/lib/udev/rules.d")
    message(FATAL_ERROR "udev reads no rule from ${UDEV_DIR}")
  endif()
endif()
if(IS_ABSOLUTE "${UDEV_DIR}")
  set(rules_dir "${STAGE}${UDEV_DIR}")
else()
  set(rules_dir "${root}/${UDEV_DIR}")
endif()
file(GLOB rules RELATIVE "${SOURCE_DIR}/resources/udev" "${SOURCE_DIR}/resources/udev/*.rules")
foreach(rule IN LISTS rules)
  if(NOT EXISTS "${rules_dir}/${rule}")
    message(FATAL_ERROR "not installed: ${rules_dir}/${rule}")
  endif()
endforeach()
file(READ "${root}/share/applications/wegmate.desktop" entry)
foreach(line "Exec=wegmate" "Icon=wegmate" "Type=Application")
  string(FIND "${entry}" "${line}" at)
  if(NOT at GREATER_EQUAL 0)
    message(FATAL_ERROR "desktop entry lacks ${line}")
  endif()
endforeach()
file(REMOVE_RECURSE "${STAGE}")
