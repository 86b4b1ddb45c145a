#pragma once

// Turns SIGTERM/SIGINT into a normal quit of the event loop, so the single-instance guard and open
// projects are released as on a window close. Call after the application object exists.
void quitOnTerminationSignals();
