# Packages by CPack: cpack -G DEB makes the Debian package on GNU/Linux,
# cpack -G ZIP the Windows zip from a MinGW-w64 build, and
# cpack --config CPackSourceConfig.cmake -G TGZ the source tarball. The
# target arduino_zip makes the Arduino library's zip, which the Arduino IDE
# installs with "Add .ZIP Library".

set(TESSELON_MAINTAINER "tesselon developers <tesselon@example.org>"
    CACHE STRING "Maintainer of the Debian package: the packager sets it")

if(WIN32)
  # The zip holds one folder: both programs, the manual page as HTML, the
  # README, the licence and the guides with Windows line ends.
  configure_file(README.md README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION .)
  file(GLOB guides RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/docs/*.md)
  foreach(guide ${guides})
    configure_file(${guide} ${guide} @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${PROJECT_BINARY_DIR}/${guide} DESTINATION docs)
  endforeach()
  find_program(GROFF_PROGRAM groff)
  if(GROFF_PROGRAM)
    add_custom_command(OUTPUT tesselon.html
      COMMAND ${GROFF_PROGRAM} -man -Thtml ${PROJECT_SOURCE_DIR}/man/tesselon.1 > tesselon.html
      DEPENDS ${PROJECT_SOURCE_DIR}/man/tesselon.1)
    add_custom_target(manual_html ALL DEPENDS tesselon.html)
    install(FILES ${PROJECT_BINARY_DIR}/tesselon.html DESTINATION .)
  endif()
else()
  # Debian wants the licence in its machine-readable form and the changelog
  # compressed, beside the package's other documents.
  set(docdir ${CMAKE_INSTALL_DATADIR}/doc/tesselon)
  configure_file(packaging/copyright copyright @ONLY)
  configure_file(packaging/changelog changelog @ONLY)
  if(GZIP_PROGRAM)
    tesselon_gzip(debian_changelog ${PROJECT_BINARY_DIR}/changelog changelog.gz)
    install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${docdir})
  endif()
  install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${docdir})
  # strip leaves the compiler's notes, which a package does not need.
  if(CMAKE_STRIP)
    install(CODE "if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tesselon\")
    endif()")
  endif()
endif()

set(CPACK_PACKAGE_NAME tesselon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TESSELON_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert black-and-white BMPs into PROGMEM C arrays for AVR")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "tesselon reads a 1-bit Windows bitmap and writes a C header that\n\
declares the picture as a constant byte array in AVR program memory:\n\
width, height, then the rows top to bottom, eight pixels a byte.")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME tesselon-${PROJECT_VERSION}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME tesselon-${PROJECT_VERSION}-win32)
  endif()
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
endif()

# The source tarball: what git tracks, without build folders or anything
# the build, CI or the examples generate.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_PACKAGE_FILE_NAME tesselon-${PROJECT_VERSION})
# Patterns without backslashes, which CPack would have to see doubled.
string(REGEX REPLACE "([.+*?()$|])" "[\\1]" source "${PROJECT_SOURCE_DIR}")
set(CPACK_SOURCE_IGNORE_FILES
    "^${source}/[.]git(/|$)"
    "^${source}/build[^/]*/"
    "^${source}/out/"
    "^${source}/examples/[^/]+/(picture[.](h|h[.]part|elf|hex)|options|driver/[^/]+[.]o|display[.](elf|hex|png|ppm|txt)|simpanel)$"
    "/node_modules/"
    "/__pycache__/"
    "~$")

include(CPack)

# The library's version is the one its library.properties gives.
file(STRINGS ${PROJECT_SOURCE_DIR}/TesselonDisplay/library.properties display_version
     REGEX "^version=")
string(REPLACE "version=" "" display_version "${display_version}")
set(arduino_zip ${PROJECT_BINARY_DIR}/TesselonDisplay-${display_version}.zip)
file(GLOB_RECURSE arduino_files RELATIVE ${PROJECT_SOURCE_DIR}
     ${PROJECT_SOURCE_DIR}/TesselonDisplay/*)
list(FILTER arduino_files EXCLUDE REGEX "/[.]") # the formatter's settings stay behind
list(SORT arduino_files)
list(TRANSFORM arduino_files PREPEND ${PROJECT_SOURCE_DIR}/ OUTPUT_VARIABLE arduino_paths)
add_custom_command(OUTPUT ${arduino_zip}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${arduino_zip} --format=zip ${arduino_files}
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  DEPENDS ${arduino_paths})
add_custom_target(arduino_zip DEPENDS ${arduino_zip})
