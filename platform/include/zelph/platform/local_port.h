// local_port.h
//
// Whether a TCP port of this machine is in use, asked the way a client would: by connecting
// to it on the loopback address. The server checks it before it starts, so that a second
// instance refuses to start instead of sharing the port.
#pragma once

namespace zelph::sys {

// True when something accepts a connection on 127.0.0.1 at `port` right now, whatever host
// that listener was bound to.
bool AcceptsLocalConnection(int port);

}  // namespace zelph::sys
