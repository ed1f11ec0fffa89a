// execution_system.h
//
// The start of the Java execution system: every binding the bridge calls through (the JDK
// classes, the model API's classes and ExecutionBlock), then the Java side's own start,
// ExecutionBlock.initializeExecutionSystem(). The plug-in's LoadModels runs it on the thread
// that loads plug-ins, before any other thread uses the bridge.
#pragma once

#include <jni.h>

// Binds what is not bound yet, in the start's order, logs "InitializeExecutionSystem" and
// calls initializeExecutionSystem() (every start calls it, also when everything was bound
// before). Without a VM, or when the thread cannot attach, does nothing and says nothing.
// Throws jni::JavaException (a class the VM cannot load, or what initializeExecutionSystem
// raised) and std::runtime_error (a missing member); the groups bound before stay bound.
void InitializeExecutionSystem(JavaVM* vm);
