// Status texts mirrored to an external trace viewer. The viewer binds the datagram socket
// "QorTracer" in $XDG_RUNTIME_DIR; each datagram carries four bytes of the text (the first
// byte lowest in a little-endian 32-bit group, a short last group padded with zeros).
// Senders in all processes serialise on an flock of "QorTracerLock" in the same folder, so
// the groups of one text arrive together.
#pragma once

#include <QString>

// Sends text (as Latin-1) to the viewer when one runs; otherwise does nothing.
void TraceOut(const QString& text);
