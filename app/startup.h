#pragma once

// The process entry: a conversion worker with "--convert" first, else the interface process.
int startParlona(int argc, char* argv[]);
