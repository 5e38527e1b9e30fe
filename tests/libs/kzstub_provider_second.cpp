// A provider that exports only the second names of its entries.
#include "request_provider.h"

KZ_STUB_REQUEST_ENTRY(Initialize)
KZ_STUB_REQUEST_ENTRY(Execute)
KZ_STUB_REQUEST_ENTRY(CleanUp)
