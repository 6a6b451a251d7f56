# The Debian package (cmake --build --preset ci --target package). Qt and the
# database drivers come from Debian; the drivers and the window-system plugin are
# loaded at run time, so dpkg-shlibdeps cannot see them and they are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME fis01200)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Sistema Fiscal: Listagem dos Documentos (FIS01200)")
set(CPACK_PACKAGE_DESCRIPTION
    "O programa fishost com a tela de filtro dos relatórios FIS012, o
fisreport (os mesmos relatórios em arquivo, sem janela), o fisdemo
(dados de demonstração), o framework, as definições de relatório, os
esquemas de banco (SQLite, PostgreSQL, Firebird), a ajuda e as páginas
de manual.")
set(CPACK_PACKAGE_CONTACT "Equipe do Sistema Fiscal <fiscal@sistema-fiscal.example>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-sqlite, libqt6sql6-psql, libqt6sql6-ibase, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-urw-base35")
set(CPACK_STRIP_FILES ON)
# Files 644, programs and folders 755, whatever the umask of the build.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Our libraries are private: no ldconfig in the maintainer scripts (see the script).
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/FisDebPostBuild.cmake)
include(CPack)
