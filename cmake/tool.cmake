# dotreel-tool, the command-line companion: the editor's logic library plus Qt Gui for reading
# and writing pictures (never Widgets) and giflib for animated GIFs.
find_package(GIF REQUIRED)

file(GLOB DOTREEL_TOOL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/tool/*.cpp)
list(FILTER DOTREEL_TOOL_SOURCES EXCLUDE REGEX "/main\\.cpp$")
add_library(dotreel_tool STATIC ${DOTREEL_TOOL_SOURCES})
target_link_libraries(dotreel_tool PUBLIC dotreel_logic dotreel_pictures Qt6::Gui GIF::GIF)
set_target_properties(dotreel_tool PROPERTIES AUTOMOC OFF)

add_executable(dotreel-tool ${CMAKE_SOURCE_DIR}/src/tool/main.cpp)
target_link_libraries(dotreel-tool PRIVATE dotreel_tool)
set_target_properties(dotreel-tool PROPERTIES AUTOMOC OFF)

# The tool's tests and benchmark are made by the generic rules of tests/ and bench/, which this
# file runs before; once the whole project is read, give them the tool's library, and let the
# tests that run the real program know where it is (and build it first).
function(dotreel_tool_attach)
  get_property(test_targets DIRECTORY ${CMAKE_SOURCE_DIR}/tests PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS test_targets)
    if(target MATCHES "^test_tool_")
      target_link_libraries(${target} PRIVATE dotreel_tool)
      target_compile_definitions(${target} PRIVATE
        DOTREEL_TOOL_PATH="$<TARGET_FILE:dotreel-tool>")
      add_dependencies(${target} dotreel-tool)
    endif()
  endforeach()
  if(TARGET bench_tool)
    target_link_libraries(bench_tool PRIVATE dotreel_tool)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL dotreel_tool_attach)
