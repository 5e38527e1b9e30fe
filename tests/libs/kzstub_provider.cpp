// A provider with the three entries under their first names.
#include "request_provider.h"

KZ_STUB_REQUEST_ENTRY(KZ_Initialize)
KZ_STUB_REQUEST_ENTRY(KZ_Execute)
KZ_STUB_REQUEST_ENTRY(KZ_CleanUp)
