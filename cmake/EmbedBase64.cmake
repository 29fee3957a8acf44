# Carries a text file inside the program as one base64 string constant.
#
# Included, it defines qevzun_embed_base64(), which adds a build step that
# regenerates the constant's source file whenever the text file changes.
# Run as a script (cmake -P) it is that build step:
#   cmake -DINPUT=<text file> -DOUTPUT=<.cpp> -DSYMBOL=<name> -DHEADER=<include>
#         -P EmbedBase64.cmake
# The text must be ASCII with LF line ends and no NUL byte; anything else
# stops the build instead of reaching the program.

if(NOT CMAKE_SCRIPT_MODE_FILE)
  set(_QEVZUN_EMBED_BASE64_SCRIPT "${CMAKE_CURRENT_LIST_FILE}")

  # qevzun_embed_base64(<target> INPUT <file> OUTPUT <.cpp> SYMBOL <name> HEADER <include>)
  # also adds the target <target>_<name> that generates the file.
  function(qevzun_embed_base64 target)
    cmake_parse_arguments(ARG "" "INPUT;OUTPUT;SYMBOL;HEADER" "" ${ARGN})
    foreach(required INPUT OUTPUT SYMBOL HEADER)
      if(NOT ARG_${required})
        message(FATAL_ERROR "qevzun_embed_base64: ${required} is missing")
      endif()
    endforeach()
    get_filename_component(input "${ARG_INPUT}" ABSOLUTE)
    add_custom_command(
      OUTPUT "${ARG_OUTPUT}"
      COMMAND "${CMAKE_COMMAND}"
              "-DINPUT=${input}" "-DOUTPUT=${ARG_OUTPUT}"
              "-DSYMBOL=${ARG_SYMBOL}" "-DHEADER=${ARG_HEADER}"
              -P "${_QEVZUN_EMBED_BASE64_SCRIPT}"
      DEPENDS "${input}" "${_QEVZUN_EMBED_BASE64_SCRIPT}"
      COMMENT "Embedding ${ARG_INPUT} as ${ARG_SYMBOL}"
      VERBATIM)
    # The target may live in another directory than this call, which cannot
    # see the command's rule: a target here runs it before the target builds.
    add_custom_target(${target}_${ARG_SYMBOL} DEPENDS "${ARG_OUTPUT}")
    add_dependencies(${target} ${target}_${ARG_SYMBOL})
    set_source_files_properties("${ARG_OUTPUT}" TARGET_DIRECTORY ${target} PROPERTIES GENERATED TRUE)
    target_sources(${target} PRIVATE "${ARG_OUTPUT}")
  endfunction()
  return()
endif()

foreach(required INPUT OUTPUT SYMBOL HEADER)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "EmbedBase64.cmake: -D${required}=... is missing")
  endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
if(hexLength EQUAL 0)
  message(FATAL_ERROR "${INPUT} is empty")
endif()
string(REGEX MATCHALL ".." bytes "${hex}")

set(alphabet "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")
set(encoded "")
set(group 0)
set(groupSize 0)
set(offset 0)
foreach(byte IN LISTS bytes)
  math(EXPR value "0x${byte}")
  if(value EQUAL 0 OR value GREATER 127 OR value EQUAL 13)
    message(FATAL_ERROR "${INPUT}: byte 0x${byte} at offset ${offset}; "
                        "the text must be ASCII with LF line ends and no NUL")
  endif()
  math(EXPR offset "${offset} + 1")
  math(EXPR group "(${group} << 8) | ${value}")
  math(EXPR groupSize "${groupSize} + 1")
  if(groupSize EQUAL 3)
    foreach(shift 18 12 6 0)
      math(EXPR index "(${group} >> ${shift}) & 63")
      string(SUBSTRING "${alphabet}" ${index} 1 digit)
      string(APPEND encoded "${digit}")
    endforeach()
    set(group 0)
    set(groupSize 0)
  endif()
endforeach()
# A last group of one or two bytes is padded with zero bits and "=".
if(groupSize EQUAL 1)
  math(EXPR group "${group} << 16")
  set(shifts 18 12)
  set(padding "==")
elseif(groupSize EQUAL 2)
  math(EXPR group "${group} << 8")
  set(shifts 18 12 6)
  set(padding "=")
else()
  set(shifts "")
  set(padding "")
endif()
foreach(shift IN LISTS shifts)
  math(EXPR index "(${group} >> ${shift}) & 63")
  string(SUBSTRING "${alphabet}" ${index} 1 digit)
  string(APPEND encoded "${digit}")
endforeach()
string(APPEND encoded "${padding}")

# Adjacent literals of 76 characters: compilers cap the length of a single
# literal well below the length of the whole text.
string(LENGTH "${encoded}" encodedLength)
set(body "")
set(position 0)
while(position LESS encodedLength)
  string(SUBSTRING "${encoded}" ${position} 76 line)
  string(APPEND body "    \"${line}\"\n")
  math(EXPR position "${position} + 76")
endwhile()

get_filename_component(inputName "${INPUT}" NAME)
set(content "// Generated from ${inputName} at build time; do not edit.\n")
string(APPEND content "#include \"${HEADER}\"\n\n")
string(APPEND content "extern const char* const ${SYMBOL} =\n${body};\n")

# Rewritten only when it changes, so that nothing recompiles needlessly.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" previous)
  if(previous STREQUAL content)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${content}")
