# Where the package puts things. The host finds its module, reports and help
# relative to its own directory, so any prefix works.
set(FIS_INSTALL_LIBDIR lib/fis01200)
set(FIS_INSTALL_DATADIR share/fis01200)

# A library of the framework or a module: private to the package, found by RPATH.
function(fis_install_library target)
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN")
    install(TARGETS ${target} LIBRARY DESTINATION ${FIS_INSTALL_LIBDIR})
endfunction()

# A program on the user's PATH that links the framework.
function(fis_install_program target)
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/../${FIS_INSTALL_LIBDIR}")
    install(TARGETS ${target} RUNTIME DESTINATION bin)
endfunction()
