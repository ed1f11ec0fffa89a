// java_models.h
//
// The Java models a session may use: the descriptions the Java side lists for it, and their
// registration with the plug-in manager as models whose workers are JExecutionBlocks. The
// plug-in's RegisterAvailableModels runs both:
//
//   std::vector<std::string> texts = ReadModelDescriptions(env, array);  // owned copies
//   RegisterJavaModels(texts, session, *manager);
//
// A description that is not there (a null element) is left out with an error line. One the
// reader refuses is registered all the same, with what was read, so that a session lists
// every model the Java side names; the reader logs why the rest is missing.
//
// Threads: any attached thread; the manager's registry locks itself.
#pragma once

#include <jni.h>

#include <string>
#include <vector>

class SimplePluginsManager;

// The texts of the array's Java strings, in order, as UTF-8; a null element is logged at
// error level ("Java model description [{}] is null") and skipped. The elements' local
// references are released.
std::vector<std::string> ReadModelDescriptions(JNIEnv* env, jobjectArray descriptions);

// Reads each description with the streaming reader into a new model of CreateJExecutionBlock
// and registers it under `session`. A description the reader refuses still gives a model,
// registered with what was read (the reader logs the failure); a model the session already
// has is not added again. Logs the registered models at trace level and, at debug level, the
// counts of all and of newly registered models.
void RegisterJavaModels(const std::vector<std::string>& descriptions, const std::string& session,
                        SimplePluginsManager& manager);
