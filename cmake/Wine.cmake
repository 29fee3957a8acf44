# Tests run the real Windows binaries under Wine, in a private prefix inside the
# build tree (never ~/.wine). The wrapper creates the prefix on first use.
set(QEVZUN_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Private Wine prefix for the tests")
# Every prefix the wrapper runs in trusts the lab's root CA (LabCertificates.cmake),
# added by this program from tests/lab/ once the prefix is up.
set(QEVZUN_TRUST_ROOT_EXE "${CMAKE_BINARY_DIR}/tests/qevzun_trust_root/qevzun_trust_root.exe")
set(QEVZUN_WINE_PREFIX_SETUP "${PROJECT_SOURCE_DIR}/cmake/wine-prefix.reg")
configure_file("${PROJECT_SOURCE_DIR}/cmake/wine-run.sh.in" "${CMAKE_BINARY_DIR}/wine-run.sh"
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE
               @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_BINARY_DIR}/wine-run.sh")
