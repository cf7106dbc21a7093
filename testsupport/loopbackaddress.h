#ifndef LOOPBACKADDRESS_H
#define LOOPBACKADDRESS_H

#include <netinet/in.h>

// 127.0.0.1 at port; port 0 lets bind() choose a free one.
sockaddr_in loopbackAddress(int port);

#endif
