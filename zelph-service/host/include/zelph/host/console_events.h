// console_events.h
//
// What the console modes (the console server and the chain-file run) do on a console
// control event: Ctrl+C, Ctrl+Break, the closing of the terminal, a logoff and a system
// shutdown stop the server.
#pragma once

namespace zelph::host {

// Shuts the server down (nothing when none runs) and answers true for the five stopping
// events; answers false for any other. Runs on a thread of its own per event; blocks up to
// the server's shutdown grace.
bool ConsoleCtrlHandler(int event);

}  // namespace zelph::host
