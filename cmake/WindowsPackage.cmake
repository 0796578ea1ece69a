# The Windows download of the command-line program:
# plexor2-extract-<version>-windows-x86_64.zip in the build folder, holding a
# folder of the same name with plexor2-extract.exe (linked statically: no
# MinGW DLL needed), its manual page as HTML (made with mandoc from the troff
# page) and a short README.txt. Built with everything else; the test
# windows_zip (tests/packaging) unpacks it and runs the program from it.

find_program(PLEXOR_MANDOC mandoc NO_CMAKE_FIND_ROOT_PATH)
if(NOT PLEXOR_MANDOC)
    message(FATAL_ERROR "mandoc is needed for the manual in the Windows zip: install the Debian package mandoc "
                        "(scripts/install-deps.sh does), or configure with -DPLEXOR_WINDOWS_ZIP=OFF")
endif()

set(PLEXOR_ZIP_NAME "plexor2-extract-${PROJECT_VERSION}-windows-x86_64")
set(PLEXOR_ZIP_FILE "${PROJECT_BINARY_DIR}/${PLEXOR_ZIP_NAME}.zip")
set(_stage "${PROJECT_BINARY_DIR}/zip-stage")
set(PLEXOR_VERSION "${PROJECT_VERSION}")
configure_file("${PROJECT_SOURCE_DIR}/packaging/windows/README.txt.in" "${_stage}-readme/README.txt"
    @ONLY NEWLINE_STYLE CRLF)

add_custom_command(OUTPUT "${PLEXOR_ZIP_FILE}"
    COMMAND ${CMAKE_COMMAND} -E rm -rf "${_stage}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${_stage}/${PLEXOR_ZIP_NAME}"
    COMMAND ${CMAKE_STRIP} -o "${_stage}/${PLEXOR_ZIP_NAME}/plexor2-extract.exe" $<TARGET_FILE:plexor2-extract>
    COMMAND ${CMAKE_COMMAND} -DMANDOC=${PLEXOR_MANDOC} -DPAGE=${PLEXOR_MANPAGE_FILE}
            -DOUTPUT=${_stage}/${PLEXOR_ZIP_NAME}/plexor2-extract.html
            -P ${PROJECT_SOURCE_DIR}/cmake/MakeManPageHtml.cmake
    COMMAND ${CMAKE_COMMAND} -E copy "${_stage}-readme/README.txt" "${_stage}/${PLEXOR_ZIP_NAME}/"
    COMMAND ${CMAKE_COMMAND} -E chdir "${_stage}"
            ${CMAKE_COMMAND} -E tar cf "${PLEXOR_ZIP_FILE}" --format=zip "${PLEXOR_ZIP_NAME}"
    DEPENDS plexor2-extract plexor2_extract_manpage "${PLEXOR_MANPAGE_FILE}" "${_stage}-readme/README.txt"
            "${PROJECT_SOURCE_DIR}/cmake/MakeManPageHtml.cmake"
    COMMENT "Making ${PLEXOR_ZIP_NAME}.zip"
    VERBATIM)
add_custom_target(plexor2_extract_zip ALL DEPENDS "${PLEXOR_ZIP_FILE}")
