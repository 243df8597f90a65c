#pragma once
// Ends the sending half of a connected TCP socket (a FIN after what was
// written), leaving the receiving half open: Qt closes both at once.
#include <QtGlobal>

void shutdownSending(qintptr socketDescriptor);
