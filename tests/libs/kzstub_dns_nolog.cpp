// A DNS library without "SetLoggingFunction".
#include "dns_stub.h"

KZ_STUB_DNS_ENTRIES
