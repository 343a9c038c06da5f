# dotreel-tool, the command-line companion, in two programs: dotreel-tool itself links no Qt at
# all, so check, info and the byte exports start fast; the picture commands (png, gif, import)
# need Qt Gui and giflib and live in dotreel-tool-pictures, to which dotreel-tool hands them.
find_package(GIF REQUIRED)

file(GLOB DOTREEL_TOOL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/tool/*.cpp)
set(DOTREEL_TOOL_PICTURE_SOURCES
  ${CMAKE_SOURCE_DIR}/src/tool/render.cpp
  ${CMAKE_SOURCE_DIR}/src/tool/gifexport.cpp
  ${CMAKE_SOURCE_DIR}/src/tool/picturecommands.cpp)
list(FILTER DOTREEL_TOOL_SOURCES EXCLUDE REGEX "/(picture)?main\\.cpp$")
list(REMOVE_ITEM DOTREEL_TOOL_SOURCES ${DOTREEL_TOOL_PICTURE_SOURCES})

add_library(dotreel_tool_core STATIC ${DOTREEL_TOOL_SOURCES})
target_link_libraries(dotreel_tool_core PUBLIC dotreel_logic)
target_compile_definitions(dotreel_tool_core PRIVATE DOTREEL_VERSION="${PROJECT_VERSION}")
set_target_properties(dotreel_tool_core PROPERTIES AUTOMOC OFF)

# An object library: whoever links it gets the picture part's own definition of
# pictureFunctions(), which the core asks for.
add_library(dotreel_tool OBJECT ${DOTREEL_TOOL_PICTURE_SOURCES})
target_link_libraries(dotreel_tool PUBLIC dotreel_tool_core dotreel_pictures Qt6::Gui GIF::GIF)
set_target_properties(dotreel_tool PROPERTIES AUTOMOC OFF)

add_executable(dotreel-tool ${CMAKE_SOURCE_DIR}/src/tool/main.cpp)
target_link_libraries(dotreel-tool PRIVATE dotreel_tool_core)
set_target_properties(dotreel-tool PROPERTIES AUTOMOC OFF)
# Resolving the C++ runtime's symbols at every start costs more than the short commands take;
# linked in, the program starts about as fast as a C one. (Not with the sanitizers, whose
# run-time wants the shared one.)
if(NOT DOTREEL_SANITIZE)
  target_link_options(dotreel-tool PRIVATE -static-libstdc++ -static-libgcc)
endif()

add_executable(dotreel-tool-pictures ${CMAKE_SOURCE_DIR}/src/tool/picturemain.cpp)
target_link_libraries(dotreel-tool-pictures PRIVATE dotreel_tool)
set_target_properties(dotreel-tool-pictures PROPERTIES AUTOMOC OFF)
add_dependencies(dotreel-tool dotreel-tool-pictures)

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
    target_compile_definitions(bench_tool PRIVATE DOTREEL_TOOL_PATH="$<TARGET_FILE:dotreel-tool>"
      DOTREEL_MAKE_DEMO="$<TARGET_FILE:dotreel-make-demo>")
    add_dependencies(bench_tool dotreel-tool dotreel-make-demo)
  endif()
  if(TARGET bench_text)
    target_compile_definitions(bench_text PRIVATE DOTREEL_TOOL_PATH="$<TARGET_FILE:dotreel-tool>")
    add_dependencies(bench_text dotreel-tool)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL dotreel_tool_attach)
