# Debian's hardening flags for every target: the preprocessor, compiler and linker flags of
# dpkg-buildflags, less the optimisation, debug and path flags the build type and the
# developer choose. DEB_BUILD_MAINT_OPTIONS from the environment applies as in a package
# build; without it all hardening features are on. Stack clash and control-flow protection
# are added where dpkg-buildflags is older than those features (before dpkg 1.22).
find_program(KESV_DPKG_BUILDFLAGS dpkg-buildflags)
if(KESV_DPKG_BUILDFLAGS)
  if(DEFINED ENV{DEB_BUILD_MAINT_OPTIONS})
    set(kesv_maint_options "$ENV{DEB_BUILD_MAINT_OPTIONS}")
  else()
    set(kesv_maint_options hardening=+all)
  endif()
  foreach(kesv_kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env "DEB_BUILD_MAINT_OPTIONS=${kesv_maint_options}"
              ${KESV_DPKG_BUILDFLAGS} --get ${kesv_kind}
      OUTPUT_VARIABLE kesv_flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(kesv_flags UNIX_COMMAND "${kesv_flags}")
    list(FILTER kesv_flags EXCLUDE REGEX "^(-g.*|-O.*|-f(file|debug|macro)-prefix-map=.*)$")
    set(kesv_hardening_${kesv_kind} ${kesv_flags})
  endforeach()
else()
  set(kesv_hardening_CPPFLAGS -Wdate-time -D_FORTIFY_SOURCE=2)
  set(kesv_hardening_CXXFLAGS -fstack-protector-strong -Wformat -Werror=format-security)
  set(kesv_hardening_LDFLAGS -Wl,-z,relro -Wl,-z,now)
endif()
include(CheckCXXCompilerFlag)
foreach(kesv_flag -fstack-clash-protection -fcf-protection)
  string(MAKE_C_IDENTIFIER "KESV_HAVE${kesv_flag}" kesv_have_flag)
  check_cxx_compiler_flag(${kesv_flag} ${kesv_have_flag})
  if(${kesv_have_flag} AND NOT kesv_flag IN_LIST kesv_hardening_CXXFLAGS)
    list(APPEND kesv_hardening_CXXFLAGS ${kesv_flag})
  endif()
endforeach()
add_compile_options(${kesv_hardening_CPPFLAGS} ${kesv_hardening_CXXFLAGS})
add_link_options(${kesv_hardening_LDFLAGS})
# Position-independent executables (PIE): -fPIE and -pie where the toolchain supports them.
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported()
message(STATUS "Hardening: ${kesv_hardening_CPPFLAGS};${kesv_hardening_CXXFLAGS};"
               "${kesv_hardening_LDFLAGS}")
