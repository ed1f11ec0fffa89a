// export.h
//
// Marks what zelph-logger exports; everything else stays inside the shared object.
#pragma once

#define ZELPH_LOGGER_API __attribute__((visibility("default")))
