#pragma once

// The conversion worker: serves one request on standard input; returns the exit status (0 or 1).
int tts_convert_process_server();
