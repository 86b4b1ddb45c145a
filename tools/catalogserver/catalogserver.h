#pragma once
// The HTTP voice catalogue: "langs.php", "voices.php", "voice_sample.php", "voice_path.php" and the
// ".pnvoice" packages they redirect to, over the voices of one folder.

#include "tools/catalogserver/voicefolder.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

struct CatalogServerOptions {
    std::filesystem::path cacheDir;   // made packages and samples
    std::filesystem::path espeakData; // phoneme data for made samples
    std::string host = "127.0.0.1";
    int port = 0; // 0: any free port
};

class CatalogServer {
public:
    CatalogServer(std::vector<CatalogVoice> voices, CatalogServerOptions options);
    ~CatalogServer();
    CatalogServer(const CatalogServer&) = delete;
    CatalogServer& operator=(const CatalogServer&) = delete;

    // Binds the listening socket; returns the port, or -1 with err set.
    int bind(std::string& err);
    // Serves until stop(); false when serving could not go on.
    bool run();
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
