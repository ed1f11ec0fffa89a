// A library with one exported function, loaded by the dynamic-library tests.
extern "C" __attribute__((visibility("default"))) int FixtureAnswer() { return 42; }
