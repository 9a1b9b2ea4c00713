# Starts the window program where no display can be had, and expects the one line and exit status 1
# instead of Qt's abort. PROGRAM: the executable.
cmake_minimum_required(VERSION 3.25)
set(line "quellix needs a graphical display; quellix-cli works without one\n")
# None set at all, and one set that nothing serves.
foreach(display "--unset=DISPLAY" "DISPLAY=:65001")
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
      ${display} "${PROGRAM}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
  if(NOT rc EQUAL 1 OR NOT out STREQUAL "" OR NOT err STREQUAL line)
    message(FATAL_ERROR "${display}: exit ${rc}, output \"${out}\", errors \"${err}\"")
  endif()
endforeach()
