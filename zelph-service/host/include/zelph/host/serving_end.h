// serving_end.h
//
// The common end of the two serving modes, the console server and the service.
#pragma once

namespace zelph::host {

// Once the server has been shut down: prints the profiles, lets the runs and previews still
// in flight end (they log as they end), and releases the loggers. Main or service thread.
void FinishServing();

}  // namespace zelph::host
