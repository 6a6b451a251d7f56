# Run by CPack after it made the package. Its DEB generator adds ldconfig calls to postinst
# and postrm for any library under /usr/lib, ours included, though they are private (found
# by RUNPATH, never by ldconfig); Debian's checker rightly warns. The package is rebuilt
# without those two scripts; nothing else in it changes.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
    if(NOT deb MATCHES "\\.deb$")
        continue()
    endif()
    set(tree "${deb}.tree")
    file(REMOVE_RECURSE "${tree}")
    execute_process(COMMAND dpkg-deb -R "${deb}" "${tree}" RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "dpkg-deb could not unpack ${deb}")
    endif()
    file(REMOVE "${tree}/DEBIAN/postinst" "${tree}/DEBIAN/postrm")
    execute_process(COMMAND dpkg-deb --root-owner-group --build "${tree}" "${deb}"
                    RESULT_VARIABLE failed OUTPUT_QUIET)
    file(REMOVE_RECURSE "${tree}")
    if(failed)
        message(FATAL_ERROR "dpkg-deb could not build ${deb}")
    endif()
endforeach()
