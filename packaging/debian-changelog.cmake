# Writes OUTPUT (gzipped as OUTPUT.gz, as Debian ships it) in the format of a Debian changelog
# from packaging/changelog. The newest entry must be VERSION, the version being packaged.
#   cmake -DSOURCE=packaging/changelog -DPACKAGE=kesv -DVERSION=1.0 \
#         -DMAINTAINER="Name <address>" -DOUTPUT=.../changelog -P debian-changelog.cmake
file(STRINGS ${SOURCE} lines)
set(text "")
set(newest "")
set(trailer "")
foreach(line IN LISTS lines)
  if(line MATCHES "^#" OR line MATCHES "^[ \t]*$")
    continue()
  endif()
  if(line MATCHES "^([^ ]+) \\(([0-9]+-[0-9]+-[0-9]+)\\)$")
    set(version ${CMAKE_MATCH_1})
    # Debian wants the day of the week, which only date(1) tells here.
    execute_process(COMMAND env LC_ALL=C date -u -R -d ${CMAKE_MATCH_2}
                    OUTPUT_VARIABLE date OUTPUT_STRIP_TRAILING_WHITESPACE
                    COMMAND_ERROR_IS_FATAL ANY)
    if(newest STREQUAL "")
      set(newest ${version})
    endif()
    string(APPEND text "${trailer}${PACKAGE} (${version}) unstable; urgency=medium\n\n")
    set(trailer "\n -- ${MAINTAINER}  ${date}\n\n")
  elseif(line MATCHES "^  " AND NOT trailer STREQUAL "")
    string(APPEND text "${line}\n")
  else()
    message(FATAL_ERROR "${SOURCE}: not an entry's heading nor an indented line: ${line}")
  endif()
endforeach()
if(NOT newest STREQUAL VERSION)
  message(FATAL_ERROR "${SOURCE}: the newest entry is '${newest}', the project is ${VERSION}: "
                      "add an entry for ${VERSION}")
endif()
string(REGEX REPLACE "\n\n$" "\n" trailer "${trailer}")
file(WRITE ${OUTPUT} "${text}${trailer}")
# -n: no name or time inside, so the same changelog gives the same bytes.
execute_process(COMMAND gzip -9nkf ${OUTPUT} COMMAND_ERROR_IS_FATAL ANY)
