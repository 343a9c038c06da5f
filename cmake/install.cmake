# `cmake --install BUILD --prefix DIR` makes DIR a portable folder: the editor and dotreel-tool
# side by side, the data folders with the demo animation beside them (the editor works next to
# its own executable there), the desktop entry with its icons, and the script that registers it
# for the current user.
# `cmake --install BUILD --prefix PREFIX --component system` is the conventional layout instead:
# PREFIX/bin, the entry in share/applications, the icons in share/icons/hicolor, and the demo in
# share/dotreel, from which each user's own working folder is seeded on first start.

# The icons, drawn by the window's own icon code at build time.
set(DOTREEL_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(DOTREEL_ICON_SIZES 16 24 32 48 64 128 256)
set(DOTREEL_ICON_FILES ${DOTREEL_ICON_DIR}/dotreel.svg)
foreach(size IN LISTS DOTREEL_ICON_SIZES)
  list(APPEND DOTREEL_ICON_FILES ${DOTREEL_ICON_DIR}/dotreel-${size}.png)
endforeach()
add_executable(dotreel-make-icon ${CMAKE_SOURCE_DIR}/assets/make_icon.cpp)
target_link_libraries(dotreel-make-icon PRIVATE dotreel_ui)
set_target_properties(dotreel-make-icon PROPERTIES AUTOMOC OFF)
add_custom_command(
  OUTPUT ${DOTREEL_ICON_FILES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${DOTREEL_ICON_DIR}
  COMMAND dotreel-make-icon ${DOTREEL_ICON_DIR}
  DEPENDS dotreel-make-icon
  COMMENT "Drawing the desktop icons")
add_custom_target(dotreel-icon ALL DEPENDS ${DOTREEL_ICON_FILES})

# The same files go to both layouts, under different folders.
function(dotreel_install_layout component bin share icons)
  if(component STREQUAL "system")
    set(only COMPONENT system EXCLUDE_FROM_ALL)
  else()
    set(only COMPONENT portable)
  endif()
  install(TARGETS dotreel dotreel-tool dotreel-tool-pictures RUNTIME DESTINATION ${bin} ${only})
  foreach(size IN LISTS DOTREEL_ICON_SIZES)
    install(FILES ${DOTREEL_ICON_DIR}/dotreel-${size}.png
      DESTINATION ${icons}/${size}x${size}/apps RENAME dotreel.png ${only})
  endforeach()
  install(FILES ${DOTREEL_ICON_DIR}/dotreel.svg DESTINATION ${icons}/scalable/apps ${only})
endfunction()

dotreel_install_layout(portable . . icons/hicolor)
dotreel_install_layout(system bin share share/icons/hicolor)
install(PROGRAMS ${CMAKE_SOURCE_DIR}/scripts/install-desktop DESTINATION . COMPONENT portable)

# The desktop entry gets the real paths of the prefix it is installed under (DESTDIR is only
# where the files are staged). The demo goes in only where no file of that name is: a reinstall
# over a folder in use keeps the user's saved work.
set(DOTREEL_INSTALL_STEPS [[
  set(prefix "${CMAKE_INSTALL_PREFIX}")
  set(staged "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
  if(layout STREQUAL "system")
    set(entry_dir "${staged}/share/applications")
    set(program "${prefix}/bin/dotreel")
    set(icon "dotreel")
    set(demo_dir "${staged}/share/dotreel")
  else()
    set(entry_dir "${staged}")
    set(program "${prefix}/dotreel")
    set(icon "${prefix}/icons/hicolor/256x256/apps/dotreel.png")
    set(demo_dir "${staged}")
  endif()
  file(MAKE_DIRECTORY "${entry_dir}")
  message(STATUS "Installing: ${entry_dir}/dotreel.desktop")
  execute_process(
    COMMAND bash "@SOURCE@/scripts/install-desktop" --write-entry
            "@SOURCE@/assets/dotreel.desktop" "${entry_dir}/dotreel.desktop" "${program}" "${icon}"
    RESULT_VARIABLE entry_result)
  if(NOT entry_result EQUAL 0)
    message(FATAL_ERROR "writing the desktop entry into ${entry_dir} failed")
  endif()
  execute_process(
    COMMAND "$<TARGET_FILE:dotreel-make-demo>" --keep-existing "${demo_dir}"
    RESULT_VARIABLE demo_result)
  if(NOT demo_result EQUAL 0)
    message(FATAL_ERROR "placing the demo animation in ${demo_dir} failed")
  endif()
]])
string(REPLACE "@SOURCE@" "${CMAKE_SOURCE_DIR}" DOTREEL_INSTALL_STEPS "${DOTREEL_INSTALL_STEPS}")
install(CODE "set(layout portable)\n${DOTREEL_INSTALL_STEPS}" COMPONENT portable)
install(CODE "set(layout system)\n${DOTREEL_INSTALL_STEPS}" COMPONENT system EXCLUDE_FROM_ALL)
