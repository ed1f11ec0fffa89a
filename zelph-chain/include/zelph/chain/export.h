// export.h
//
// Marks what zelph-chain exports; everything else stays inside the shared object.
#pragma once

#define ZELPH_CHAIN_API __attribute__((visibility("default")))
