# Writes OUTPUT, a header that defines KESV_SOURCE_DATE, the time of the sources in the form of
# __DATE__ and __TIME__ ("Sep  7 2000 20:23:40", UTC): SOURCE_DATE_EPOCH when it is set (as
# package builds do), else the last commit of SOURCE_DIR, else "unknown". Runs on every build;
# the header changes only with the time, so nothing recompiles for nothing.
#   cmake -DSOURCE_DIR=... -DOUTPUT=.../sourcedate.h -P scripts/source-date.cmake
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  string(TIMESTAMP date "%b %d %Y %H:%M:%S" UTC)
  string(REGEX REPLACE "^([A-Z][a-z][a-z]) 0" "\\1  " date "${date}")
else()
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C TZ=UTC
                          git -C ${SOURCE_DIR} log -1 --format=%cd
                          "--date=format-local:%b %e %Y %H:%M:%S"
                  OUTPUT_VARIABLE date OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
  if(failed OR date STREQUAL "")
    set(date unknown)
  endif()
endif()
file(CONFIGURE OUTPUT ${OUTPUT}
     CONTENT "// Made by scripts/source-date.cmake.\n#define KESV_SOURCE_DATE \"${date}\"\n")
