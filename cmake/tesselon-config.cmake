# The installed tesselon for CMake projects: find_package(tesselon) gives the
# program as tesselon::tesselon and the function tesselon_add_header.
#
#   tesselon_add_header(OUTPUT <header> BITMAP <bmp> [NAME <identifier>])
#
# converts the bitmap into the header when the build needs it, and again
# when the bitmap or the program changes. A target uses the header by
# listing it among its sources or depending on it. A relative OUTPUT lies in
# the current binary folder, a relative BITMAP in the current source folder.
# The header is written only when the conversion succeeds; on a failure the
# build stops with tesselon's message and leaves no header. With NAME the
# array is called <identifier> instead of bmppic, so that several pictures
# can be included in one source file.

include("${CMAKE_CURRENT_LIST_DIR}/tesselon-targets.cmake")
set(_tesselon_convert "${CMAKE_CURRENT_LIST_DIR}/tesselon-convert.cmake")

function(tesselon_add_header)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "OUTPUT;BITMAP;NAME" "")
  if(NOT arg_OUTPUT OR NOT arg_BITMAP OR arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "usage: tesselon_add_header(OUTPUT <header> BITMAP <bmp> [NAME <identifier>])")
  endif()
  if(DEFINED arg_NAME AND NOT arg_NAME MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
    message(FATAL_ERROR "tesselon_add_header: NAME '${arg_NAME}' is no C identifier")
  endif()
  get_filename_component(output "${arg_OUTPUT}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  get_filename_component(bitmap "${arg_BITMAP}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  add_custom_command(OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" "-DTESSELON=$<TARGET_FILE:tesselon::tesselon>"
            "-DBITMAP=${bitmap}" "-DOUTPUT=${output}" "-DNAME=${arg_NAME}" -P "${_tesselon_convert}"
    DEPENDS "${bitmap}" "$<TARGET_FILE:tesselon::tesselon>" "${_tesselon_convert}"
    COMMENT "tesselon ${arg_BITMAP} > ${arg_OUTPUT}"
    VERBATIM)
endfunction()
