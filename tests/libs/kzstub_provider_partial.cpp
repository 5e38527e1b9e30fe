// A provider that lacks its initialise and clean-up entries.
#include "request_provider.h"

KZ_STUB_REQUEST_ENTRY(KZ_Execute)
