# What makes a bundle start on another Mac: every library it loads is inside it or part of the
# system, no binary asks for a newer macOS than the bundle promises, and its icon is where
# Info.plist names it. The checks read what otool prints, so that their logic can be tried
# anywhere on recorded output; zeph_check_bundle() runs otool on a real bundle. Paths in the
# bundle are relative to its Contents folder.

# Also when run by `cmake -P`, as install scripts are: IN_LIST needs a policy of 3.3 or later.
cmake_policy(VERSION 3.22)

# The run paths (LC_RPATH) in `load_commands`, the output of `otool -l` for a binary in the folder
# `loader`, with @executable_path and @loader_path resolved.
function(zeph_run_paths out load_commands loader)
    string(REGEX MATCHALL "\n *path ([^\n]*) \\(offset [0-9]+\\)" entries "${load_commands}")
    set(paths "")
    foreach(entry IN LISTS entries)
        string(REGEX REPLACE "^\n *path (.*) \\(offset [0-9]+\\)$" "\\1" path "${entry}")
        string(REGEX REPLACE "^@executable_path" "MacOS" path "${path}")
        string(REGEX REPLACE "^@loader_path" "${loader}" path "${path}")
        list(APPEND paths "${path}")
    endforeach()
    set(${out} "${paths}" PARENT_SCOPE)
endfunction()

# Appends to `out` what keeps `binary` from loading on another Mac: each library that `linked`
# (`otool -L`) names that is neither the system's nor one of the bundle's `contents`, a run path
# (LC_RPATH) named twice, and a minimum macOS in `load_commands` (`otool -l`: LC_BUILD_VERSION's
# minos, or an older binary's LC_VERSION_MIN_MACOSX) above `target`. An @rpath is looked up in the binary's run paths, then
# in the executable's. A path through a linked folder counts as missing.
function(zeph_binary_problems out binary linked load_commands executable_run_paths contents
         target)
    set(problems ${${out}})
    get_filename_component(loader "${binary}" DIRECTORY)
    string(REGEX MATCHALL "\n *path [^\n]*" named_run_paths "${load_commands}")
    set(distinct_run_paths ${named_run_paths})
    list(REMOVE_DUPLICATES distinct_run_paths)
    if(NOT distinct_run_paths STREQUAL named_run_paths)
        list(APPEND problems "${binary} names a run path twice, which dyld refuses from macOS 15.4")
    endif()
    zeph_run_paths(run_paths "${load_commands}" "${loader}")
    list(APPEND run_paths ${executable_run_paths})
    string(REGEX MATCHALL "\n\t[^\n]+ \\(compatibility version[^\n]*" entries "${linked}")
    foreach(entry IN LISTS entries)
        string(REGEX REPLACE "^\n\t(.*) \\(compatibility version.*$" "\\1" library "${entry}")
        if(library MATCHES "^(/usr/lib/|/System/Library/)")
            continue()
        endif()
        set(candidates "${library}")
        if(library MATCHES "^@rpath/(.*)$")
            list(TRANSFORM run_paths APPEND "/${CMAKE_MATCH_1}" OUTPUT_VARIABLE candidates)
        endif()
        set(found FALSE)
        foreach(candidate IN LISTS candidates)
            string(REGEX REPLACE "^@executable_path" "MacOS" candidate "${candidate}")
            string(REGEX REPLACE "^@loader_path" "${loader}" candidate "${candidate}")
            cmake_path(SET candidate NORMALIZE "${candidate}")
            if(candidate IN_LIST contents)
                set(found TRUE)
            endif()
        endforeach()
        if(NOT found)
            list(APPEND problems "${binary} loads ${library}, which is not in the bundle")
        endif()
    endforeach()
    set(minimum "")
    if(load_commands MATCHES "cmd LC_BUILD_VERSION\n[^\n]*\n[^\n]*\n *minos ([0-9.]+)")
        set(minimum ${CMAKE_MATCH_1})
    elseif(load_commands MATCHES "cmd LC_VERSION_MIN_MACOSX\n[^\n]*\n *version ([0-9.]+)")
        set(minimum ${CMAKE_MATCH_1})
    endif()
    if(minimum VERSION_GREATER target)
        list(APPEND problems "${binary} needs macOS ${minimum}, above ${target}")
    endif()
    set(${out} "${problems}" PARENT_SCOPE)
endfunction()

# Appends to `out` the icon that the Info.plist text `plist` names when it is not among the
# bundle's `contents`.
function(zeph_icon_problems out plist contents)
    set(problems ${${out}})
    string(REGEX MATCH "<key>CFBundleIconFile</key>[ \t\n]*<string>([^<]*)" _ "${plist}")
    if(NOT "Resources/${CMAKE_MATCH_1}" IN_LIST contents)
        list(APPEND problems "Info.plist names the icon “${CMAKE_MATCH_1}”, missing from Resources")
    endif()
    set(${out} "${problems}" PARENT_SCOPE)
endfunction()

# Fails with every problem found in the bundle at `bundle`, built for macOS `target` or later.
function(zeph_check_bundle bundle target)
    file(GLOB_RECURSE contents LIST_DIRECTORIES false RELATIVE "${bundle}/Contents"
         "${bundle}/Contents/*")
    set(binaries "")
    foreach(file IN LISTS contents)
        if(NOT IS_SYMLINK "${bundle}/Contents/${file}")
            file(READ "${bundle}/Contents/${file}" magic LIMIT 4 HEX)
            if(magic MATCHES "^(cffaedfe|cafebabe)$")
                list(APPEND binaries "${file}")
            endif()
        endif()
    endforeach()
    file(READ "${bundle}/Contents/Info.plist" plist)
    string(REGEX MATCH "<key>CFBundleExecutable</key>[ \t\n]*<string>([^<]*)" _ "${plist}")
    execute_process(COMMAND otool -arch arm64 -l "${bundle}/Contents/MacOS/${CMAKE_MATCH_1}"
                    OUTPUT_VARIABLE load_commands COMMAND_ERROR_IS_FATAL ANY)
    zeph_run_paths(executable_run_paths "${load_commands}" MacOS)
    set(problems "")
    foreach(binary IN LISTS binaries)
        execute_process(COMMAND otool -arch arm64 -L "${bundle}/Contents/${binary}"
                        OUTPUT_VARIABLE linked COMMAND_ERROR_IS_FATAL ANY)
        execute_process(COMMAND otool -arch arm64 -l "${bundle}/Contents/${binary}"
                        OUTPUT_VARIABLE load_commands COMMAND_ERROR_IS_FATAL ANY)
        zeph_binary_problems(problems "${binary}" "${linked}" "${load_commands}"
                             "${executable_run_paths}" "${contents}" "${target}")
    endforeach()
    zeph_icon_problems(problems "${plist}" "${contents}")
    if(problems)
        list(JOIN problems "\n  " problems)
        message(FATAL_ERROR "The bundle would not start on another Mac:\n  ${problems}")
    endif()
endfunction()
