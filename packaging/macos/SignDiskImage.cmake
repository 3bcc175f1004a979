# Run by cpack once the disk image is made. A Developer ID signs the image too, with a secure
# timestamp, before it is sent for notarization; an ad hoc build's image stays unsigned.
if(NOT CPACK_ZEPH_CODESIGN_IDENTITY STREQUAL "-")
    foreach(image IN LISTS CPACK_PACKAGE_FILES)
        execute_process(COMMAND codesign --force --timestamp
                                --sign "${CPACK_ZEPH_CODESIGN_IDENTITY}" "${image}"
                        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
endif()
