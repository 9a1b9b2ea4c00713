# Checks one program's manual page against its --help.
# PROGRAM: the executable; SOURCE: its page in scdoc form; PAGE: the built page (.1.gz);
# COMPLETION: its bash completion file, or empty; MAN: path of man.
#
# Read from the --help text: options are the words starting with - or -- that follow a blank, comma,
# bar or bracket; commands are the first words of the indented lines under a line "Commands:". Where
# "help" is one of the commands, "PROGRAM help COMMAND" adds each command's options. Each must appear
# in bold in the page source (*--port*, *info*) and, where there is a completion file, as a word in
# it (short options such as -p, and Qt's one-dash options, excepted).
cmake_minimum_required(VERSION 3.25)

set(failures "")
macro(fail text)
  string(APPEND failures "  ${text}\n")
endmacro()

execute_process(COMMAND "${PROGRAM}" --help RESULT_VARIABLE rc OUTPUT_VARIABLE help ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} --help failed (${rc}):\n${help}${err}")
endif()

# Appends to `options` the options a help text lists. Brackets would group a CMake list's items, so
# they and the other separators become blanks first.
function(collect_options text)
  string(REGEX REPLACE "[][(),|\t\n]" " " words " ${text}")
  string(REGEX MATCHALL " --?[A-Za-z][A-Za-z0-9-]*" matches "${words}")
  set(found ${options})
  foreach(match IN LISTS matches)
    string(STRIP "${match}" option)
    list(APPEND found "${option}")
  endforeach()
  set(options ${found} PARENT_SCOPE)
endfunction()
set(options "")
collect_options("${help}")
set(commands "")
string(REPLACE "\n" ";" lines "${help}")
set(in_commands FALSE)
foreach(line IN LISTS lines)
  if(line MATCHES "^[A-Za-z ]*[Cc]ommands:[ ]*$")
    set(in_commands TRUE)
  elseif(in_commands AND line MATCHES "^[ \t]+([A-Za-z][A-Za-z0-9-]*)")
    list(APPEND commands "${CMAKE_MATCH_1}")
  elseif(in_commands AND NOT line MATCHES "^[ \t]")
    set(in_commands FALSE)
  endif()
endforeach()

# A program with a help command also lists each command's own options there.
if("help" IN_LIST commands)
  foreach(command IN LISTS commands)
    if(command STREQUAL "help")
      continue()
    endif()
    execute_process(COMMAND "${PROGRAM}" help ${command} RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
      fail("${PROGRAM} help ${command} failed (${rc}): ${text}${err}")
    endif()
    collect_options("${text}")
  endforeach()
endif()
list(REMOVE_DUPLICATES options)
if(NOT options)
  fail("no option found in --help")
endif()

file(READ "${SOURCE}" source)
set(completion_text "")
if(COMPLETION)
  file(READ "${COMPLETION}" completion_text)
endif()
foreach(word IN LISTS options commands)
  set(pattern "${word}") # only letters, digits and dashes: nothing to escape
  if(NOT source MATCHES "\\*${pattern}([^A-Za-z0-9-][^*\n]*)?\\*")
    fail("${word}: listed by --help, not documented in bold in ${SOURCE}")
  endif()
  if(COMPLETION AND NOT completion_text MATCHES "(^|[^A-Za-z0-9-])${pattern}([^A-Za-z0-9-]|$)")
    if(NOT word MATCHES "^-[A-Za-z]$" AND NOT word MATCHES "^-[a-z][a-z]+$")
      fail("${word}: listed by --help, not offered by ${COMPLETION}")
    endif()
  endif()
endforeach()

foreach(section NAME SYNOPSIS DESCRIPTION OPTIONS FILES "EXIT STATUS" "SERIAL ACCESS" EXAMPLES "SEE ALSO")
  if(NOT source MATCHES "\n# ${section}\n")
    fail("section \"${section}\" missing from ${SOURCE}")
  endif()
endforeach()
if(NOT source MATCHES "dialout")
  fail("${SOURCE} does not say how to get serial access (the dialout group)")
endif()

if(NOT EXISTS "${PAGE}")
  fail("${PAGE} was not built: scdoc is missing (scripts/setup installs it)")
elseif(NOT MAN)
  fail("man not found (package man-db, see scripts/setup)")
else()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env MANWIDTH=80 LC_ALL=C.UTF-8
      "${MAN}" --warnings -l "${PAGE}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE rendered ERROR_VARIABLE warnings)
  if(NOT rc EQUAL 0 OR NOT warnings STREQUAL "")
    fail("man --warnings on ${PAGE} (${rc}):\n${warnings}")
  endif()
endif()

if(failures)
  message(FATAL_ERROR "${PROGRAM}:\n${failures}")
endif()
list(LENGTH options option_count)
list(LENGTH commands command_count)
message(STATUS "${PROGRAM}: ${option_count} options and ${command_count} commands documented")
