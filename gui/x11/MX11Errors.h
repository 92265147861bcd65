#pragma once
// Protocol errors of our display connections. Xlib's default error handler prints and ends the
// process, which must never happen inside a host because a request of ours failed (an embedding
// window that the host destroyed first, a shared-memory attach refused by a remote server). The
// back end registers each connection it opens; the process-wide handler then counts errors on
// registered connections and passes every other connection's errors to the handler that was
// installed before (the host's own). The previous handler is restored when the last connection
// is unregistered, unless someone installed another one meanwhile.
//
// Xlib calls the handler on the thread that made the failing request; for our connections that is
// always the GUI thread of the window system that owns them.

struct _XDisplay;

namespace MX11Errors
{
/// Starts counting errors of `display`. Any thread; allocates.
void Register(_XDisplay* display);
/// Stops counting; restores the previous handler when no connection is left.
void Unregister(_XDisplay* display);
/// Errors seen on `display` since it was registered. Compare two readings around a request and an
/// XSync to learn whether the request failed.
unsigned long Count(_XDisplay* display);
} // namespace MX11Errors
