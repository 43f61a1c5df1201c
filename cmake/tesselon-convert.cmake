# Converts BITMAP with TESSELON into OUTPUT for tesselon_add_header, run as
# cmake -P. tesselon writes its messages where the header goes, so the text
# lands in a temporary file that becomes OUTPUT only when tesselon succeeded;
# else its message stops the build and no header is left. With NAME the
# array is renamed around the converter's unchanged text.
get_filename_component(folder "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${folder}")
execute_process(COMMAND "${TESSELON}" "${BITMAP}" OUTPUT_FILE "${OUTPUT}.part"
                RESULT_VARIABLE status)
file(READ "${OUTPUT}.part" text)
if(NOT status STREQUAL "0")
  file(REMOVE "${OUTPUT}.part")
  string(STRIP "${text}" text)
  message("${text}") # as tesselon wrote it: an error message of CMake's would wrap it
  message(FATAL_ERROR "tesselon could not convert ${BITMAP}")
endif()
if(NAME)
  file(WRITE "${OUTPUT}.part"
       "/* ${BITMAP}, converted by tesselon: the array is called ${NAME}. */\n"
       "#ifndef TESSELON_PICTURE_${NAME}\n#define TESSELON_PICTURE_${NAME}\n"
       "#define bmppic ${NAME}\n${text}#undef bmppic\n#endif\n")
endif()
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
