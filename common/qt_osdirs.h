#pragma once
// Where the user's home, the application data, the voice store, the projects and the bundled
// resources are. All paths are UTF-8; the folders marked below are created when missing.

#include <string>

std::string homeDir();
std::string sysTempDir();  // empty on error
std::string appDataRoot(); // XDG data home on Linux, "Library/Application Support" on macOS
std::string appDataDir();  // created
std::string voicesRoot();  // created
std::string projectsDir(); // created
std::string eSpeakDataPath();
std::string tashkeelModelPath();

// The folder of the running executable (the bundle's "MacOS" folder, or the build's bin/).
std::string executableDir();
