// serving_end.h
//
// The common end of the two serving modes, the console server and the service.
#pragma once

namespace zelph::host {

// Once the server has been shut down: prints the profiles, lets the runs and previews still
// in flight end (they log as they end), and releases the loggers. Main or service thread.
void FinishServing();

// Blocks until FinishServing has returned. For the thread of a stopping signal that shut the
// server down: the process is ended by the signal once its handler has returned and a grace
// has passed, so the handler waits for the serving's orderly end (the runs interrupted and
// awaited) rather than let the grace cut it short. Any thread but the one that serves.
void AwaitServingEnd();

}  // namespace zelph::host
