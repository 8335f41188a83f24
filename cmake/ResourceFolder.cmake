# Lays out the program's resource folder in the build tree from data/, and
# installs the same layout into share/tovalumen.
set(TOVALUMEN_RESOURCE_DIR ${CMAKE_BINARY_DIR}/share/tovalumen)
set(TOVALUMEN_DATA_DIR ${CMAKE_SOURCE_DIR}/data)

file(MAKE_DIRECTORY ${TOVALUMEN_RESOURCE_DIR}/encoder)
file(CREATE_LINK ${FFMPEG_EXECUTABLE} ${TOVALUMEN_RESOURCE_DIR}/encoder/ffmpeg SYMBOLIC)

# Copied on every build (a cheap, small folder) so that edits in data/ show up
# without reconfiguring.
add_custom_target(resource_folder ALL
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${TOVALUMEN_DATA_DIR}/language
            ${TOVALUMEN_RESOURCE_DIR}/language
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${TOVALUMEN_DATA_DIR}/publish
            ${TOVALUMEN_RESOURCE_DIR}/publish
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${TOVALUMEN_DATA_DIR}/home.url
            ${TOVALUMEN_RESOURCE_DIR}/home.url
    COMMENT "Laying out the resource folder"
    VERBATIM)

set(TOVALUMEN_INSTALL_RESOURCE_DIR ${CMAKE_INSTALL_DATADIR}/tovalumen)
install(DIRECTORY ${TOVALUMEN_DATA_DIR}/language ${TOVALUMEN_DATA_DIR}/publish
        DESTINATION ${TOVALUMEN_INSTALL_RESOURCE_DIR}
        PATTERN ".gitkeep" EXCLUDE)
install(FILES ${TOVALUMEN_DATA_DIR}/home.url DESTINATION ${TOVALUMEN_INSTALL_RESOURCE_DIR})
install(CODE "
    set(encoder_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${TOVALUMEN_INSTALL_RESOURCE_DIR}/encoder\")
    file(MAKE_DIRECTORY \"\${encoder_dir}\")
    file(CREATE_LINK \"${FFMPEG_EXECUTABLE}\" \"\${encoder_dir}/ffmpeg\" SYMBOLIC)
    message(STATUS \"Linking: \${encoder_dir}/ffmpeg -> ${FFMPEG_EXECUTABLE}\")
")
