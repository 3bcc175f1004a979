# The bundle checks over otool's output, run with `cmake -P`: an executable and its QtCore as
# macdeployqt leaves them with Qt 6.8, then with Intel Homebrew's libsodium still linked, no run
# path into the executable's bundle (QtCore finds itself from its own folder) and both built for
# macOS 14, with Apple-silicon Homebrew's libintl linked too and a run path named twice. INFO_PLIST:
# the Info.plist the build made.
include(${CMAKE_CURRENT_LIST_DIR}/../../packaging/macos/BundleChecks.cmake)

set(core Frameworks/QtCore.framework/Versions/A/QtCore)
set(contents Info.plist MacOS/ZEPHInstaller_macOS ${core})
set(linked [=[
ZEPHInstaller_macOS.app/Contents/MacOS/ZEPHInstaller_macOS:
	@rpath/QtCore.framework/Versions/A/QtCore (compatibility version 6.0.0, current version 6.8.3)
	/System/Library/Frameworks/AppKit.framework/Versions/C/AppKit (compatibility version 45.0.0)
	/usr/lib/libc++.1.dylib (compatibility version 1.0.0, current version 1800.105.0)
]=])
set(commands [=[
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
set(core_linked "${core}:\n\t@rpath/QtCore.framework/Versions/A/QtCore (compatibility version 6)")
set(core_commands "      cmd LC_VERSION_MIN_MACOSX\n  cmdsize 16\n  version 12.0
          cmd LC_RPATH\n      cmdsize 32\n         path @loader_path/../../.. (offset 12)\n")

# Fails unless the problems found are `expected`.
macro(check expected)
    zeph_run_paths(run_paths "${commands}" MacOS)
    set(problems "")
    zeph_binary_problems(problems MacOS/ZEPHInstaller_macOS "${linked}" "${commands}"
                         "${run_paths}" "${contents}" 13.5)
    zeph_binary_problems(problems ${core} "${core_linked}" "${core_commands}" "${run_paths}"
                         "${contents}" 13.5)
    zeph_icon_problems(problems "${plist}" "${contents}")
    if(NOT problems STREQUAL "${expected}")
        message(FATAL_ERROR "Expected:\n${expected}\nFound:\n${problems}")
    endif()
endmacro()

file(READ "${INFO_PLIST}" plist)
check("Info.plist names the icon “ZEPHInstaller.icns”, missing from Resources")
list(APPEND contents Resources/ZEPHInstaller.icns)
check("")
string(REPLACE "\t/usr" "\t/usr/local/lib/libsodium.26.dylib (compatibility version 29.0.0)
\t/opt/homebrew/lib/libintl.8.dylib (compatibility version 13.0.0)\n\t/usr" linked "${linked}")
set(twice "\n         path @loader_path/../Lib (offset 12)")
string(REGEX REPLACE "minos 13.5.*" "minos 14.0${twice}${twice}" commands "${commands}")
string(REPLACE "12.0" "14.0" core_commands "${core_commands}")
set(unresolved "loads @rpath/QtCore.framework/Versions/A/QtCore, which is not in the bundle")
check("MacOS/ZEPHInstaller_macOS names a run path twice, which dyld refuses from macOS 15.4;\
MacOS/ZEPHInstaller_macOS ${unresolved};MacOS/ZEPHInstaller_macOS loads /usr/local/lib/\
libsodium.26.dylib, which is not in the bundle;MacOS/ZEPHInstaller_macOS loads /opt/homebrew/lib/\
libintl.8.dylib, which is not in the bundle;MacOS/ZEPHInstaller_macOS needs macOS 14.0, above \
13.5;${core} needs macOS 14.0, above 13.5")
