# `cmake --install BUILD --prefix DIR` makes DIR a portable folder: the editor and dotreel-tool
# side by side, the data folders with the demo animation beside them (the editor finds its files
# next to its own executable), and the desktop entry with its icon and the script that registers
# it for the current user.

# The icon for the desktop entry, drawn by the window's own icon code at build time.
add_executable(dotreel-make-icon ${CMAKE_SOURCE_DIR}/assets/make_icon.cpp)
target_link_libraries(dotreel-make-icon PRIVATE dotreel_ui)
set_target_properties(dotreel-make-icon PROPERTIES AUTOMOC OFF)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/dotreel.png
  COMMAND dotreel-make-icon ${CMAKE_BINARY_DIR}/dotreel.png
  DEPENDS dotreel-make-icon
  COMMENT "Drawing the desktop entry's icon")
add_custom_target(dotreel-icon ALL DEPENDS ${CMAKE_BINARY_DIR}/dotreel.png)

install(TARGETS dotreel dotreel-tool dotreel-tool-pictures RUNTIME DESTINATION .)
install(FILES ${CMAKE_BINARY_DIR}/dotreel.png ${CMAKE_SOURCE_DIR}/assets/dotreel.desktop
  DESTINATION .)
install(PROGRAMS ${CMAKE_SOURCE_DIR}/scripts/install-desktop DESTINATION .)

# The demo goes in only where no file of that name is: a reinstall over a folder in use keeps the
# user's saved work.
install(CODE [[
  set(portable_folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
  execute_process(
    COMMAND "$<TARGET_FILE:dotreel-make-demo>" --keep-existing "${portable_folder}"
    RESULT_VARIABLE demo_result)
  if(NOT demo_result EQUAL 0)
    message(FATAL_ERROR "placing the demo animation in ${portable_folder} failed")
  endif()
]])
