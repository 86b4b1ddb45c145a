#pragma once
// The command-line mode `parlona --say "text" --voice UID[:SPK] [--speed S] --out file.wav`: speaks a
// text through the same path as the interface (sentences, worker processes, joining).

// Returns the process exit status; prints the reason on standard error when it fails.
int tts_say_main(int argc, char* argv[]);
