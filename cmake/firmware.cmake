# The firmware player: its C99 sources built for the host with the project's warnings (the
# firmware tests link them), and, where Debian's gcc-avr is installed, the ATmega328P example
# for the simulated microcontroller test, with its flash and RAM use printed.
enable_language(C)

set(DOTREEL_FIRMWARE_DIR ${CMAKE_SOURCE_DIR}/firmware)
set(DOTREEL_FIRMWARE_SOURCES ${DOTREEL_FIRMWARE_DIR}/sg12232.c ${DOTREEL_FIRMWARE_DIR}/dotreel_eeprom.c
  ${DOTREEL_FIRMWARE_DIR}/dotreel_player.c ${DOTREEL_FIRMWARE_DIR}/dotreel_link.c)
set(DOTREEL_FIRMWARE_HEADERS ${DOTREEL_FIRMWARE_DIR}/sg12232.h ${DOTREEL_FIRMWARE_DIR}/dotreel_eeprom.h
  ${DOTREEL_FIRMWARE_DIR}/dotreel_player.h ${DOTREEL_FIRMWARE_DIR}/dotreel_link.h)
# The link codec is a library of its own (CMakeLists.txt), shared with the host side of the link.
set(DOTREEL_FIRMWARE_HOST_SOURCES ${DOTREEL_FIRMWARE_SOURCES})
list(REMOVE_ITEM DOTREEL_FIRMWARE_HOST_SOURCES ${DOTREEL_FIRMWARE_DIR}/dotreel_link.c)
add_library(dotreel_firmware STATIC ${DOTREEL_FIRMWARE_HOST_SOURCES})
target_include_directories(dotreel_firmware PUBLIC ${DOTREEL_FIRMWARE_DIR})
target_link_libraries(dotreel_firmware PUBLIC dotreel_link_codec)
# On the host the module mapping and the busy poll are chosen at run time, so one test program
# covers every build of the board.
target_compile_definitions(dotreel_firmware PUBLIC SG12232_RUNTIME_OPTIONS=1)
set_target_properties(dotreel_firmware PROPERTIES
  C_STANDARD 99 C_STANDARD_REQUIRED ON C_EXTENSIONS OFF AUTOMOC OFF)
target_compile_options(dotreel_firmware PRIVATE -Wall -Wextra -Wpedantic -Werror)

find_program(DOTREEL_AVR_GCC avr-gcc)
find_program(DOTREEL_AVR_SIZE avr-size)
set(DOTREEL_AVR_ELFS)
if(DOTREEL_AVR_GCC AND DOTREEL_AVR_SIZE)
  set(avr_sources ${DOTREEL_FIRMWARE_SOURCES} ${DOTREEL_FIRMWARE_DIR}/examples/atmega328p/main.c)
  set(avr_flags -mmcu=atmega328p -DF_CPU=16000000UL -Os -std=c99 -Wall -Wextra -Wpedantic
    -Werror -ffunction-sections -fdata-sections -Wl,--gc-sections -I${DOTREEL_FIRMWARE_DIR})
  # name and build options: the plain example, and the runs the simulator test watches
  set(repeat_run -DDOTREEL_PLAY_START=132 -DDOTREEL_PLAY_END=136 -DDOTREEL_PLAY_INTERVAL_MS=40 -DDOTREEL_PLAY_REPEAT=1)
  foreach(variant IN ITEMS "default;" "repeat;${repeat_run}"
                           "once;-DDOTREEL_PLAY_START=136;-DDOTREEL_PLAY_END=133;-DDOTREEL_PLAY_INTERVAL_MS=25;-DDOTREEL_PLAY_REPEAT=0"
                           "inverted;${repeat_run};-DSG12232_MAPPING=SG12232_MAPPING_INVERTED"
                           "busypoll;${repeat_run};-DSG12232_BUSY_POLL=1"
                           "fast;-DDOTREEL_BAUD=1000000UL")
    list(POP_FRONT variant name)
    set(elf ${CMAKE_BINARY_DIR}/firmware/dotreel-player-${name}.elf)
    add_custom_command(OUTPUT ${elf}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/firmware
      COMMAND ${DOTREEL_AVR_GCC} ${avr_flags} ${variant} -o ${elf} ${avr_sources}
      COMMAND ${DOTREEL_AVR_SIZE} --format=avr --mcu=atmega328p ${elf}
      DEPENDS ${avr_sources} ${DOTREEL_FIRMWARE_HEADERS}
      COMMENT "Building the ATmega328P player (${name})" VERBATIM)
    list(APPEND DOTREEL_AVR_ELFS ${elf})
  endforeach()
  add_custom_target(firmware_avr ALL DEPENDS ${DOTREEL_AVR_ELFS})
endif()

find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(SIMAVR IMPORTED_TARGET simavr)
endif()

# The firmware tests are made by the generic rules of tests/; give them the firmware, the
# programs that make their stores, and the simulator where there is one.
function(dotreel_firmware_attach)
  get_property(test_targets DIRECTORY ${CMAKE_SOURCE_DIR}/tests PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS test_targets)
    if(target MATCHES "^test_firmware_" AND NOT target STREQUAL "test_firmware_avr")
      target_link_libraries(${target} PRIVATE dotreel_firmware)
    endif()
    if(target MATCHES "^test_firmware_")
      target_compile_definitions(${target} PRIVATE
        DOTREEL_TOOL_PATH="$<TARGET_FILE:dotreel-tool>"
        DOTREEL_MAKE_DEMO="$<TARGET_FILE:dotreel-make-demo>")
      add_dependencies(${target} dotreel-tool dotreel-make-demo)
    endif()
  endforeach()
  if(TARGET bench_avr_link)
    target_link_libraries(bench_avr_link PRIVATE dotreel_firmware)
    target_include_directories(bench_avr_link PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    target_compile_definitions(bench_avr_link PRIVATE
      DOTREEL_TOOL_PATH="$<TARGET_FILE:dotreel-tool>"
      DOTREEL_MAKE_DEMO="$<TARGET_FILE:dotreel-make-demo>")
    add_dependencies(bench_avr_link dotreel-tool dotreel-make-demo)
  endif()
  # The simulated microcontroller's test programs, and the benchmark of the link through it.
  foreach(target test_firmware_avr test_firmware_avr_link bench_avr_link)
    if(TARGET ${target} AND SIMAVR_FOUND AND TARGET firmware_avr)
      target_link_libraries(${target} PRIVATE PkgConfig::SIMAVR)
      target_compile_definitions(${target} PRIVATE DOTREEL_HAVE_SIMAVR
        DOTREEL_AVR_ELF_DIR="${CMAKE_BINARY_DIR}/firmware")
      add_dependencies(${target} firmware_avr)
    endif()
  endforeach()
  # The simulated board as a serial device of its own, for trying the link by hand.
  if(SIMAVR_FOUND AND TARGET firmware_avr)
    add_executable(dotreel-simboard ${CMAKE_SOURCE_DIR}/tests/firmware/simboard_main.cpp)
    target_link_libraries(dotreel-simboard PRIVATE dotreel_logic dotreel_firmware Qt6::Core
      PkgConfig::SIMAVR)
    target_include_directories(dotreel-simboard PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    target_compile_definitions(dotreel-simboard PRIVATE DOTREEL_HAVE_SIMAVR
      DOTREEL_AVR_ELF_DIR="${CMAKE_BINARY_DIR}/firmware"
      DOTREEL_TOOL_PATH="$<TARGET_FILE:dotreel-tool>"
      DOTREEL_MAKE_DEMO="$<TARGET_FILE:dotreel-make-demo>")
    set_target_properties(dotreel-simboard PROPERTIES AUTOMOC OFF
      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/firmware)
    add_dependencies(dotreel-simboard firmware_avr)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL dotreel_firmware_attach)
