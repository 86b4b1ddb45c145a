# The catalogue client: HTTP transfer, catalogue lists, samples and voice package installation.
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(LIBCRYPTO REQUIRED IMPORTED_TARGET libcrypto)
pkg_check_modules(LIBARCHIVE REQUIRED IMPORTED_TARGET libarchive)

set(VOICES_CATALOG_SOURCES
    downloadutil.cpp downloadutil.h
    servervoices.cpp servervoices.h
    serverurls.cpp serverurls.h
    voiceinstall.cpp
    ziphelper.cpp ziphelper.h
)
set(VOICES_CATALOG_LIBS PkgConfig::CURL PkgConfig::LIBCRYPTO PkgConfig::LIBARCHIVE PkgConfig::JSONC)
