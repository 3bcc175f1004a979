# Run by `cmake --install` (and so by cpack) on the installed bundle: copies Qt into it, checks
# that it needs nothing of the build machine, then signs it from the inside out. Set by the
# install code before it: ZEPH_BUNDLE, ZEPH_MACDEPLOYQT, ZEPH_QT_LIBRARIES, ZEPH_DEPLOYMENT_TARGET
# and ZEPH_CODESIGN_IDENTITY ("-" signs ad hoc).
include(${CMAKE_CURRENT_LIST_DIR}/BundleChecks.cmake)

# macdeployqt finds Qt's frameworks through the folder it is told of, not through the run path
# the build tree had and the installed executable lost.
execute_process(COMMAND "${ZEPH_MACDEPLOYQT}" "${ZEPH_BUNDLE}" -always-overwrite
                        "-libpath=${ZEPH_QT_LIBRARIES}"
                COMMAND_ERROR_IS_FATAL ANY)
zeph_check_bundle("${ZEPH_BUNDLE}" "${ZEPH_DEPLOYMENT_TARGET}")

# A Developer ID signs for distribution: the hardened runtime and a secure timestamp, as
# notarization requires. Ad hoc signatures carry no Team ID, so the hardened runtime's library
# validation would refuse the bundled frameworks: they go without it, for the building Mac only.
set(sign codesign --force --sign "${ZEPH_CODESIGN_IDENTITY}")
if(NOT ZEPH_CODESIGN_IDENTITY STREQUAL "-")
    list(APPEND sign --options runtime --timestamp)
endif()
# Inside out, each piece on its own (--deep is meant for checking, not signing): loose libraries
# and plug-ins, then each framework at its version folder, as Apple documents, then the app. The
# app asks for no entitlement: without the sandbox's, it runs outside the sandbox and can write
# into the user's Library and home folders.
file(GLOB_RECURSE libraries "${ZEPH_BUNDLE}/Contents/Frameworks/*.dylib"
     "${ZEPH_BUNDLE}/Contents/PlugIns/*.dylib")
list(FILTER libraries EXCLUDE REGEX "\\.framework/")
file(GLOB frameworks LIST_DIRECTORIES true
     "${ZEPH_BUNDLE}/Contents/Frameworks/*.framework/Versions/A")
foreach(code IN LISTS libraries frameworks ZEPH_BUNDLE)
    execute_process(COMMAND ${sign} "${code}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
execute_process(COMMAND codesign --verify --deep --strict "${ZEPH_BUNDLE}"
                COMMAND_ERROR_IS_FATAL ANY)
