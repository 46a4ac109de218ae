// The services table qvhost hands an extension (see extension_host.h for
// what each service answers).
#ifndef QVHOST_EXTENSION_SERVICES_H
#define QVHOST_EXTENSION_SERVICES_H

#include <string>

#include "duktape.h"
#include "../host/host_services.h"

// One loaded extension: the object its functions are put on.
struct Extension {
    duk_context* ctx;
    std::string objectName;
};

// A table of the services for `extension`, whose object exists already; from
// now on registerNative accepts it as an owner. Both live for good, as long
// as the extension may read them.
HostServices* servicesFor(Extension* extension);

#endif
