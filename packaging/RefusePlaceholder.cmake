# Run by cpack before it packs anything: an installer built with the placeholder manifest address
# can never load a manifest, so it is not shipped.
include(${CMAKE_CURRENT_LIST_DIR}/PlaceholderHost.cmake)
if(CPACK_ZEPH_MANIFEST_URL MATCHES "${ZEPH_PLACEHOLDER_MANIFEST_PATTERN}")
    message(FATAL_ERROR "ZEPH_MANIFEST_URL still names the placeholder host "
        "(${CPACK_ZEPH_MANIFEST_URL}). Configure the real manifest address, e.g. "
        "cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release "
        "-DZEPH_MANIFEST_URL=https://<your host>/latest.json, then build and run cpack again.")
endif()
