// export.h
//
// The export macro of the service's shared test support library, which the test programs
// and the test plug-in both load, so that both see one control state.
#pragma once

#define ZELPH_TESTING_API __attribute__((visibility("default")))
