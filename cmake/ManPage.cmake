# Writes a man page from a program's --help (and each listed subcommand's).
# cmake -DPROGRAM=... -DNAME=... -DSUMMARY=... -DVERSION=... [-DCOMMANDS=a;b] -DOUTPUT=... -P ManPage.cmake

# The build may be instrumented; leak reports at exit are not help text.
set(ENV{ASAN_OPTIONS} "detect_leaks=0")
set(ENV{QT_QPA_PLATFORM} "offscreen")

function(help_of out)
  execute_process(COMMAND ${PROGRAM} ${ARGN} --help
                  OUTPUT_VARIABLE text ERROR_VARIABLE err RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ${ARGN} --help failed (${rc}): ${err}")
  endif()
  # roff: backslashes are escapes, and a line may not start with . or '
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

string(TOUPPER "${NAME}" upper)
help_of(main)
set(page ".TH ${upper} 1 \"\" \"Lumora ${VERSION}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\n${NAME} \\- ${SUMMARY}\n")
string(APPEND page ".SH DESCRIPTION\n.nf\n${main}.fi\n")
foreach(command IN LISTS COMMANDS)
  help_of(sub ${command})
  string(APPEND page ".SS \"${NAME} ${command}\"\n.nf\n${sub}.fi\n")
endforeach()
string(APPEND page ".SH SEE ALSO\nThe user guide, docs/USER_GUIDE.md in the source tree.\n")
file(WRITE ${OUTPUT} "${page}")
