# Installs the build into a scratch prefix and checks that the desktop
# program, its icon, the desktop entry and the udev rule are in place.
# -DBUILD_DIR=... -DPREFIX=... -DSOURCE_DIR=...
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(expected
  bin/wegmate
  share/applications/wegmate.desktop
  share/icons/hicolor/scalable/apps/wegmate.svg
  share/icons/hicolor/48x48/apps/wegmate.png
  share/icons/hicolor/256x256/apps/wegmate.png)
file(GLOB rules RELATIVE "${SOURCE_DIR}/resources/udev" "${SOURCE_DIR}/resources/udev/*.rules")
foreach(rule IN LISTS rules)
  list(APPEND expected lib/udev/rules.d/${rule})
endforeach()
foreach(path IN LISTS expected)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
file(READ "${PREFIX}/share/applications/wegmate.desktop" entry)
foreach(line "Exec=wegmate" "Icon=wegmate" "Type=Application")
  string(FIND "${entry}" "${line}" at)
  if(at LESS 0)
    message(FATAL_ERROR "desktop entry lacks ${line}")
  endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
