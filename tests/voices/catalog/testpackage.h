#pragma once
// Voice packages built in memory for installation tests, including damaged and hostile ones.

#include <string>
#include <vector>

struct TestArchiveEntry {
    std::string name;
    std::string data;
    bool dir = false;
};

// A zip holding the entries in order, names stored exactly as given.
std::string makeTestZip(const std::vector<TestArchiveEntry>& entries);
// The 4-byte little-endian length, the header, then the archive.
std::string makeTestPackage(const std::string& header, const std::string& archive);
// A header naming uid and spk in the descriptor format.
std::string testPackageHeader(const std::string& uid, int spk);
// The usual voice folder: "<top>/", a model and its configuration.
std::vector<TestArchiveEntry> testVoiceEntries(const std::string& top);
