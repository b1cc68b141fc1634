# Writes a program's manual page from its --help text with help2man:
#   cmake -DPROGRAM=<path> -DPAGE=<page.1.gz> -DVERSION=<x.y.z> -DHELP2MAN=<path>
#         -P ManPage.cmake
# The program runs by its bare name (its folder first in PATH), so the usage
# lines show the name and not the build folder. The first help line,
# "<name>: what it is", gives the NAME line. Every subcommand listed under
# "Subcommands:", and theirs in turn, adds its own help to a SUBCOMMANDS
# section, without the footer that repeats the common options.
get_filename_component(dir ${PROGRAM} DIRECTORY)
get_filename_component(name ${PROGRAM} NAME)
set(ENV{PATH} "${dir}:$ENV{PATH}")
set(ENV{LC_ALL} C.UTF-8)
unset(ENV{COLUMNS})

function(run_help out)
  execute_process(COMMAND ${name} ${ARGN} --help OUTPUT_VARIABLE text RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${name} ${ARGN} --help failed (${rc})")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The names listed in the "Subcommands:" block of a help text.
function(subcommands_of out text)
  set(names)
  if(text MATCHES "\nSubcommands:\n(.*)")
    string(REGEX REPLACE "\n\n.*" "" block "${CMAKE_MATCH_1}")
    string(REPLACE "\n" ";" lines "${block}")
    foreach(line IN LISTS lines)
      if(line MATCHES "^  ([A-Za-z0-9][A-Za-z0-9_-]*)")
        list(APPEND names ${CMAKE_MATCH_1})
      endif()
    endforeach()
  endif()
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# Appends the roff text of "<name> <path...>" and of its subcommands to `roff`.
function(describe)
  set(path ${ARGV})
  run_help(text ${path})
  string(REGEX REPLACE "\n\n+Options of every subcommand.*" "\n" body "${text}")
  string(REPLACE "\\" "\\e" body "${body}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" body "${body}")
  string(REPLACE ";" " " title "${name} ${path}")
  string(APPEND roff ".SS \"${title}\"\n.nf\n${body}.fi\n")
  subcommands_of(subs "${text}")
  foreach(sub IN LISTS subs)
    describe(${path} ${sub})
  endforeach()
  set(roff "${roff}" PARENT_SCOPE)
endfunction()

run_help(help)
if(NOT help MATCHES "^${name}: ([^\n]+)")
  message(FATAL_ERROR "the first line of ${name} --help does not read \"${name}: ...\"")
endif()
set(summary "${CMAKE_MATCH_1}")

set(roff "")
subcommands_of(subs "${help}")
foreach(sub IN LISTS subs)
  describe(${sub})
endforeach()

string(REGEX REPLACE "\\.gz$" "" plain ${PAGE})
get_filename_component(out_dir ${PAGE} DIRECTORY)
file(MAKE_DIRECTORY ${out_dir})
set(include)
if(roff)
  file(WRITE ${plain}.include "[SUBCOMMANDS]\n${roff}")
  set(include --include=${plain}.include)
endif()
execute_process(COMMAND ${HELP2MAN} --no-info --version-string=${VERSION} --name=${summary}
                        ${include} --output=${plain} ${name}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "help2man failed for ${name}")
endif()
# help2man dates the page by SOURCE_DATE_EPOCH when set; -n keeps gzip from
# writing the time stamp, so equal pages give equal files.
execute_process(COMMAND gzip -9nf ${plain} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip failed for ${plain}")
endif()
