#include "qt/socket_shutdown.h"

#include <sys/socket.h>

void shutdownSending(qintptr socketDescriptor) {
  if (socketDescriptor >= 0) ::shutdown(static_cast<int>(socketDescriptor), SHUT_WR);
}
