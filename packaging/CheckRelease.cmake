# Run by cpack before it packs anything. An installer built with the placeholder manifest address
# can never load a manifest, so it is not shipped. A release built without the publisher's public
# key checks no signature: whoever can replace the published files can then install anything, so
# packing one is said out loud.
include(${CMAKE_CURRENT_LIST_DIR}/PlaceholderHost.cmake)
if(CPACK_ZEPH_MANIFEST_URL MATCHES "${ZEPH_PLACEHOLDER_MANIFEST_PATTERN}")
    message(FATAL_ERROR "ZEPH_MANIFEST_URL still names the placeholder host "
        "(${CPACK_ZEPH_MANIFEST_URL}). Configure the real manifest address, e.g. "
        "cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release "
        "-DZEPH_MANIFEST_URL=https://<your host>/latest.json, then build and run cpack again.")
endif()
if(CPACK_ZEPH_BUILD_TYPE STREQUAL "Release" AND NOT CPACK_ZEPH_SCRIPT_SIGNING_KEY)
    message(WARNING "\n*** THIS RELEASE CHECKS NO SCRIPT SIGNATURES ***\n"
        "It was configured without ZEPH_SCRIPT_SIGNING_KEY, so it installs whatever the manifest "
        "names. Configure it with -DZEPH_SCRIPT_SIGNING_KEY=\"$(zeph-sign public-key "
        "zeph-signing.key)\" unless this is meant.\n")
endif()
