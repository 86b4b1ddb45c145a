#pragma once

// Turns SIGTERM/SIGINT into a normal quit of the event loop, so the single-instance guard and open
// projects are released as on a window close. Call first thing: a signal that arrives before the
// application object exists is kept and acted on once the event loop runs.
void quitOnTerminationSignals();
