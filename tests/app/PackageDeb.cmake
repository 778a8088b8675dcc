# Builds the .deb of this build, checks what it holds and what it depends
# on, unpacks it into a scratch root and runs the command-line tool from there.
# -DBUILD_DIR=... -DWORK=... -DCPACK=...
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${CPACK} -G DEB -B ${WORK} --config ${BUILD_DIR}/CPackConfig.cmake
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cpack failed: ${out}${err}")
endif()
file(GLOB debs ${WORK}/*.deb)
list(LENGTH debs n)
if(NOT n EQUAL 1)
  message(FATAL_ERROR "expected one .deb in ${WORK}, found: ${debs}")
endif()

execute_process(COMMAND dpkg-deb -c ${debs} OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
foreach(f usr/bin/lumora usr/bin/lumora-cli usr/bin/lumora-thumbnailer usr/lib/lumora/libzel_scan_2000.so
          usr/lib/lumora/lumora-cli-draw usr/share/applications/lumora.desktop usr/share/mime/packages/lumora-con.xml
          usr/share/thumbnailers/lumora.thumbnailer usr/share/icons/hicolor/64x64/apps/lumora.png
          usr/share/man/man1/lumora.1 usr/share/man/man1/lumora-cli.1)
  string(FIND "${listing}" " ./${f}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the package lacks ${f}:\n${listing}")
  endif()
endforeach()

# Computed by dpkg-shlibdeps: the C library and Qt's widgets at least.
execute_process(COMMAND dpkg-deb -f ${debs} Depends OUTPUT_VARIABLE depends)
foreach(d libc6 libqt6widgets6 libqt6printsupport6)
  if(NOT depends MATCHES "(^|, )${d} \\(>= ")
    message(FATAL_ERROR "Depends lacks ${d}: ${depends}")
  endif()
endforeach()

execute_process(COMMAND dpkg -x ${debs} ${WORK}/root RESULT_VARIABLE rc)
execute_process(COMMAND ${WORK}/root/usr/bin/lumora-cli --version RESULT_VARIABLE rc OUTPUT_VARIABLE version)
if(NOT rc EQUAL 0 OR NOT version MATCHES "^lumora-cli: .*6\\.0")
  message(FATAL_ERROR "lumora-cli --version from the unpacked package: ${rc} ${version}")
endif()
message(STATUS "package ok: ${debs} (${version})")
