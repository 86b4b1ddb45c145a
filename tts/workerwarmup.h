#pragma once
// Work a conversion worker can do before its request arrives, because it does not depend on the voice.

// Starts the inference runtime with a one-node model, so that the voice's model load later pays only
// for the model itself. Failures are ignored: the real load reports them.
void tts_worker_warmup();
