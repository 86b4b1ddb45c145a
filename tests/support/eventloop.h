#pragma once
// Drives the calling thread's event loop from a test.

#include <functional>

// Processes events until done() holds or timeoutMs passes; returns done()'s last value.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Processes events for the given time.
void spinFor(int ms);
