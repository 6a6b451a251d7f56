# The manual pages, built from their scdoc sources, and the package's copyright and
# changelog where Debian expects them. gzip -9n: the bytes do not change with the clock.
find_program(FIS_SCDOC scdoc)
find_program(FIS_GZIP gzip REQUIRED)
set(FIS_DOC_BUILD ${CMAKE_BINARY_DIR}/doc)
set(FIS_DOC_OUTPUTS ${FIS_DOC_BUILD}/changelog.gz)
file(MAKE_DIRECTORY ${FIS_DOC_BUILD})

if(FIS_SCDOC)
    foreach(page fishost fisreport fisdemo)
        set(source ${CMAKE_SOURCE_DIR}/docs/man/${page}.1.scd)
        set(output ${FIS_DOC_BUILD}/${page}.1.gz)
        add_custom_command(OUTPUT ${output}
            COMMAND sh -c "'${FIS_SCDOC}' < '${source}' | '${FIS_GZIP}' -9n > '${output}'"
            DEPENDS ${source} VERBATIM)
        install(FILES ${output} DESTINATION share/man/man1)
        list(APPEND FIS_DOC_OUTPUTS ${output})
    endforeach()
else()
    message(WARNING "scdoc not found (scripts/install-deps.sh installs it): no manual pages")
endif()

add_custom_command(OUTPUT ${FIS_DOC_BUILD}/changelog.gz
    COMMAND sh -c "'${FIS_GZIP}' -9nc < '${CMAKE_SOURCE_DIR}/docs/package/changelog' > '${FIS_DOC_BUILD}/changelog.gz'"
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/package/changelog VERBATIM)
add_custom_target(fisdocs ALL DEPENDS ${FIS_DOC_OUTPUTS})
install(FILES ${CMAKE_SOURCE_DIR}/docs/package/copyright ${FIS_DOC_BUILD}/changelog.gz
        DESTINATION share/doc/fis01200)
