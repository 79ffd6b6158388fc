// Symbol visibility. Every library is built with -fvisibility=hidden; only what carries MIRELDA_API
// (the public API, the interfaces whose type information crosses library boundaries, and the
// entry points) is exported.
#pragma once

#define MIRELDA_API __attribute__((visibility("default")))
