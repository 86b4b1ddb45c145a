#pragma once
// The script that initialises a new project database.

extern const char* const kProjectSchemaScript;
