#pragma once
// The 55-colour palette of a project's voices: "#RRGGBB" at position n modulo 55.

#include <string>

std::string spkcolor(int n);
