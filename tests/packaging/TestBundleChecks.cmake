# The bundle checks over otool's output for two bundles of the same files, run with `cmake -P`:
# one as macdeployqt leaves it with Qt 6.8, one with Homebrew's libsodium still linked, no run
# path into the bundle and binaries built for macOS 14. INFO_PLIST: the Info.plist the build made.
include(${CMAKE_CURRENT_LIST_DIR}/../../packaging/macos/BundleChecks.cmake)

set(contents Info.plist MacOS/ZEPHInstaller_macOS Frameworks/QtCore.framework/Versions/A/QtCore)
set(linked [=[
ZEPHInstaller_macOS.app/Contents/MacOS/ZEPHInstaller_macOS:
	@rpath/QtCore.framework/Versions/A/QtCore (compatibility version 6.0.0, current version 6.8.3)
	/System/Library/Frameworks/AppKit.framework/Versions/C/AppKit (compatibility version 45.0.0, current version 2575.20.19)
	/usr/lib/libc++.1.dylib (compatibility version 1.0.0, current version 1800.105.0)
]=])
set(executable [=[
Load command 9
      cmd LC_BUILD_VERSION
  cmdsize 32
 platform 1
    minos 13.5
      sdk 15.2
Load command 24
          cmd LC_RPATH
      cmdsize 48
         path @executable_path/../Frameworks (offset 12)
]=])
set(qtcore_linked [=[
ZEPHInstaller_macOS.app/Contents/Frameworks/QtCore.framework/Versions/A/QtCore:
	@rpath/QtCore.framework/Versions/A/QtCore (compatibility version 6.0.0, current version 6.8.3)
	/usr/lib/libSystem.B.dylib (compatibility version 1.0.0, current version 1351.0.0)
]=])
set(qtcore [=[
Load command 8
      cmd LC_VERSION_MIN_MACOSX
  cmdsize 16
  version 12.0
      sdk 14.5
]=])

function(check expected linked executable qtcore)
    zeph_run_paths(run_paths "${executable}" MacOS)
    set(problems "")
    zeph_binary_problems(problems MacOS/ZEPHInstaller_macOS "${linked}" "${executable}"
                         "${run_paths}" "${contents}" 13.5)
    zeph_binary_problems(problems Frameworks/QtCore.framework/Versions/A/QtCore
                         "${qtcore_linked}" "${qtcore}" "${run_paths}" "${contents}" 13.5)
    if(NOT problems STREQUAL expected)
        message(FATAL_ERROR "Expected:\n${expected}\nFound:\n${problems}")
    endif()
endfunction()

check("" "${linked}" "${executable}" "${qtcore}")
string(REPLACE "\t/usr/lib/libc++" "\t/opt/homebrew/lib/libsodium.26.dylib (compatibility version \
29.0.0)\n\t/usr/lib/libc++" linked "${linked}")
string(REGEX REPLACE "minos 13.5.*" "minos 14.0" executable "${executable}")
string(REPLACE "version 12.0" "version 14.0" qtcore "${qtcore}")
set(executable_problems "MacOS/ZEPHInstaller_macOS loads @rpath/QtCore.framework/Versions/A/QtCore\
, which is not in the bundle;MacOS/ZEPHInstaller_macOS loads /opt/homebrew/lib/libsodium.26.dylib, \
which is not in the bundle;MacOS/ZEPHInstaller_macOS needs macOS 14.0, above 13.5")
check("${executable_problems};Frameworks/QtCore.framework/Versions/A/QtCore loads @rpath/QtCore.\
framework/Versions/A/QtCore, which is not in the bundle;Frameworks/QtCore.framework/Versions/A/\
QtCore needs macOS 14.0, above 13.5" "${linked}" "${executable}" "${qtcore}")

file(READ "${INFO_PLIST}" plist)
set(problems "")
zeph_icon_problems(problems "${plist}" "${contents};Resources/ZEPHInstaller.icns")
zeph_icon_problems(problems "${plist}" "${contents}")
if(NOT problems STREQUAL "Info.plist names the icon “ZEPHInstaller.icns”, missing from Resources")
    message(FATAL_ERROR "Icon: ${problems}")
endif()
