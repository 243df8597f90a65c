#include "qt/socket_shutdown.h"

#include <winsock2.h>

void shutdownSending(qintptr socketDescriptor) {
  if (socketDescriptor >= 0) ::shutdown(static_cast<SOCKET>(socketDescriptor), SD_SEND);
}
