#include "voices/serverurls.h"

#include "common/stringformat.h"

#include <cstdlib>

namespace {

std::string withSlash(std::string url) {
    if (!url.empty() && url.back() != '/') {
        url += '/';
    }
    return url;
}

std::string fromEnv(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return withSlash(value && *value ? std::string(value) : fallback);
}

} // namespace

std::string catalogBaseUrl() {
    return fromEnv("PARLONA_CATALOG_URL", string_format("http://127.0.0.1:%d/", kDefaultCatalogPort));
}

// No update service is run for this build; the name can never resolve, so the check stays quiet.
std::string updateBaseUrl() {
    return fromEnv("PARLONA_UPDATE_URL", "https://updates.parlona.invalid/");
}
