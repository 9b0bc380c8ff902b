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
        share/metainfo/org.twinseek.Twinseek.metainfo.xml
        share/icons/hicolor/scalable/apps/org.twinseek.Twinseek.svg
        share/icons/hicolor/48x48/apps/org.twinseek.Twinseek.png
        share/man/man1/twinseek-cli.1)
    if(NOT EXISTS ${prefix}/${file})
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
file(REMOVE_RECURSE ${prefix})
