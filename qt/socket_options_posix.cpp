#include "qt/socket_options.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

void shutdownSending(qintptr socketDescriptor) {
  if (socketDescriptor >= 0) ::shutdown(static_cast<int>(socketDescriptor), SHUT_WR);
}

void acknowledgeAtOnce(qintptr socketDescriptor) {
  if (socketDescriptor < 0) return;
  // Also sends at once an acknowledgement that is already being delayed.
  const int on = 1;
  ::setsockopt(static_cast<int>(socketDescriptor), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}

void renewAcknowledgeAtOnce(qintptr socketDescriptor) { acknowledgeAtOnce(socketDescriptor); }
