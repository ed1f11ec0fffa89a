# The install rules' common ground: "cmake --install build --prefix DIR" lays out an
# installation as the build folder does (bin/ with the program, its libraries and plugins/,
# conf/, ext/, solutions/), relocatable: the binaries find their libraries relative to
# themselves, and no installed file names the build or the source folder.
#
# Components: "runtime" holds the installation, "demo_config" the demo's bin/config.json;
# "system" (left out of a plain install) holds what the Debian package adds under /etc,
# /lib/systemd and /var/log (packaging/).
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME runtime)
# The program and the libraries beside it; the Java plug-in sets its own, two folders up.
set(CMAKE_INSTALL_RPATH "$ORIGIN")

# Installs the binaries of `targets` into `destination` below the prefix, without their debug
# information: it names the folders the sources were compiled in. The symbols stay, so crash
# reports keep the function names of their backtraces.
function(zelph_install_binaries destination)
  install(TARGETS ${ARGN} RUNTIME DESTINATION ${destination} LIBRARY DESTINATION ${destination})
  foreach(target ${ARGN})
    install(CODE "execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --strip-debug
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}/$<TARGET_FILE_NAME:${target}>\"
      COMMAND_ERROR_IS_FATAL ANY)")
  endforeach()
endfunction()
