# Installs the build into a temporary prefix, then runs the installed twinseek-cli: its help
# and a short scan must work from there, and the desktop files must be where desktops look.
set(prefix ${BUILD_DIR}/install-check)
file(REMOVE_RECURSE ${prefix})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

execute_process(COMMAND ${prefix}/bin/twinseek-cli --help
                RESULT_VARIABLE status OUTPUT_VARIABLE help)
if(NOT status EQUAL 0 OR NOT help MATCHES "--scan")
    message(FATAL_ERROR "installed twinseek-cli --help failed: ${status}\n${help}")
endif()

set(tree ${prefix}/tree)
file(WRITE ${tree}/a/same.txt "x")
file(WRITE ${tree}/b/same.txt "x")
execute_process(COMMAND ${prefix}/bin/twinseek-cli --scan ${tree} --compare name
                RESULT_VARIABLE status OUTPUT_VARIABLE report)
if(NOT status EQUAL 0 OR NOT report MATCHES "Duplicated files: 1")
    message(FATAL_ERROR "installed twinseek-cli scan failed: ${status}\n${report}")
endif()

foreach(file IN ITEMS bin/twinseek share/applications/org.twinseek.Twinseek.desktop
        share/mime/packages/org.twinseek.Twinseek.xml
        share/metainfo/org.twinseek.Twinseek.metainfo.xml
        share/icons/hicolor/scalable/apps/org.twinseek.Twinseek.svg
        share/icons/hicolor/48x48/apps/org.twinseek.Twinseek.png
        share/man/man1/twinseek-cli.1)
    if(NOT EXISTS ${prefix}/${file})
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()

# The desktop's file type database takes the file types: both globs, and the result list's
# first line as its magic.
find_program(UPDATE_MIME_DATABASE update-mime-database)
if(UPDATE_MIME_DATABASE)
    execute_process(COMMAND ${UPDATE_MIME_DATABASE} ${prefix}/share/mime
                    RESULT_VARIABLE status ERROR_VARIABLE errors)
    if(NOT status EQUAL 0 OR errors MATCHES "twinseek")
        message(FATAL_ERROR "update-mime-database refused the file types: ${status}\n${errors}")
    endif()
    file(READ ${prefix}/share/mime/globs2 globs)
    if(NOT globs MATCHES "application/x-twinseek-list:\\*\\.twl"
       OR NOT globs MATCHES "application/x-twinseek-config:\\*\\.twc")
        message(FATAL_ERROR "globs of the file types missing:\n${globs}")
    endif()
    file(STRINGS ${prefix}/share/mime/magic magic)
    if(NOT magic MATCHES "application/x-twinseek-list.*Twinseek saved result version 1\\.3")
        message(FATAL_ERROR "magic of the result list missing")
    endif()
else()
    message(STATUS "update-mime-database not found: the file types are not checked")
endif()
file(READ ${prefix}/share/applications/org.twinseek.Twinseek.desktop entry)
if(NOT entry MATCHES "\nExec=twinseek %f\n"
   OR NOT entry MATCHES "\nMimeType=application/x-twinseek-list;application/x-twinseek-config;\n")
    message(FATAL_ERROR "the desktop entry does not open the file types:\n${entry}")
endif()
file(REMOVE_RECURSE ${prefix})
