#include "qt/socket_options.h"

#include <winsock2.h>

#include <mstcpip.h>

// The Windows SDK's mstcpip.h has the code and its input,
// TCP_ACK_FREQUENCY_PARAMETERS; MinGW's has neither.
#ifndef SIO_TCP_SET_ACK_FREQUENCY
#define SIO_TCP_SET_ACK_FREQUENCY _WSAIOW(IOC_VENDOR, 23)
#endif
namespace {
struct AckFrequency {
  UCHAR TcpDelayedAckFrequency;  // segments taken in before an acknowledgement goes out
};
}  // namespace

void shutdownSending(qintptr socketDescriptor) {
  if (socketDescriptor >= 0) ::shutdown(static_cast<SOCKET>(socketDescriptor), SD_SEND);
}

void acknowledgeAtOnce(qintptr socketDescriptor) {
  if (socketDescriptor < 0) return;
  // A system that does not know the option refuses it; the port works on,
  // only slower behind a server that waits for acknowledgements.
  AckFrequency every{1};
  DWORD returned = 0;
  ::WSAIoctl(static_cast<SOCKET>(socketDescriptor), SIO_TCP_SET_ACK_FREQUENCY, &every, sizeof every,
             nullptr, 0, &returned, nullptr, nullptr);
}

// The frequency stays set for the socket's life.
void renewAcknowledgeAtOnce(qintptr) {}
