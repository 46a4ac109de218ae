// The ANSI code page's tables for the fast routes of engine_text, asked of
// the system once.
#ifndef QVHOST_ANSI_TABLES_H
#define QVHOST_ANSI_TABLES_H

#include "engine_text.h"

// Built on first use from the system's conversion of each character alone:
// ASCII must come back as ASCII both ways, a single-byte code page gets each
// byte's character and the byte each character converts to exactly, a
// two-byte one (and UTF-8) its lead bytes. Any other code page, or ASCII
// that does not come back, leaves the tables empty: no fast route.
const AnsiTables& systemAnsiTables();

#endif
