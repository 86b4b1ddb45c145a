#pragma once
// Base addresses of the voice catalogue and the update server, each ending in "/".
// PARLONA_CATALOG_URL and PARLONA_UPDATE_URL replace the built-in values.

#include <string>

// The port the catalogue server listens on unless told otherwise; the built-in catalogue address
// points at it on this machine.
constexpr int kDefaultCatalogPort = 8571;

std::string catalogBaseUrl();
std::string updateBaseUrl();
