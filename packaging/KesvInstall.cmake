# kesv_install_binary(target destination): installs a program or module and takes the
# compilers' identification notes (.comment) out of the installed copy, which stripping
# leaves and a Debian package must not carry.
include(GNUInstallDirs)
function(kesv_install_binary target destination)
  install(TARGETS ${target} RUNTIME DESTINATION ${destination} LIBRARY DESTINATION ${destination})
  set(installed "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}/$<TARGET_FILE_NAME:${target}>")
  install(CODE "execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                                        \"${installed}\" COMMAND_ERROR_IS_FATAL ANY)")
endfunction()
