#pragma once
// What the network port asks of its TCP socket beyond what Qt offers; one
// file per platform.
#include <QtGlobal>

// Ends the sending half of a connected TCP socket (a FIN after what was
// written), leaving the receiving half open: Qt closes both at once.
void shutdownSending(qintptr socketDescriptor);

// Acknowledges each segment as it arrives instead of waiting for a reply to
// carry the acknowledgement. A device server that holds a small write until
// its last one is acknowledged (Nagle's rule; ser2net does) gets the unit's
// answer off the line in pieces, and would hold every piece after the first
// for this end's delayed acknowledgement: 40 ms on Linux, 200 ms on Windows.
// Once connected; renewed after every read, as Linux falls back to delaying
// by itself (Windows keeps the setting).
void acknowledgeAtOnce(qintptr socketDescriptor);
void renewAcknowledgeAtOnce(qintptr socketDescriptor);
