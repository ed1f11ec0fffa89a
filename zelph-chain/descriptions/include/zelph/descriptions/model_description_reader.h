// model_description_reader.h
//
// Reads the JSON descriptions that plug-ins give of their models into
// zelph::BaseModelStructure: names, options, Java binding, controls and ports, each checked
// and converted to the model's classes. The four entry points are exported under plain
// names for plug-ins:
//
//   auto model = DataProcessModelBase::Create(&MakeMyWorker);
//   if (!DeserializeModelFromJson(text.data(), text.size(), JsonParser::kMiniJson, model)) {
//     // the reasons are logged; the model still holds what was read
//   }
//
// Only the streaming back-end (kMiniJson) reads descriptions; kRapidJson logs an error and
// answers false. A failed read logs its reason and the whole description and answers false;
// what was set before the failure stays, controls and ports not yet converted are dropped.
//
// Threading: no locks and no state between calls. Calls for different structures may run at
// once; one structure must not be read into by two calls at a time. Data types are looked up
// in the plug-in manager, whose type table is filled at start-up.
#pragma once

#include <cstddef>
#include <memory>

#include "zelph/chain/export.h"
#include "zelph/config/zelph_config.h"
#include "zelph/model/data_process_model.h"
#include "zelph/model/model_structure.h"

extern "C" {

// Reads `length` bytes of `text` (stopping at a NUL within them) into a new structure and
// hands it to `model` with SetStructure, also after a failure. A null text reads as empty;
// a null model reads nothing into anything and answers false.
ZELPH_CHAIN_API bool DeserializeModelFromJson(const char* text, std::size_t length,
                                              JsonParser parser,
                                              std::shared_ptr<IDataProcessModel> model);

// As DeserializeModelFromJson with the text of the file at the UTF-8 `path`. A path that is
// not a readable regular file answers false without a message; the model still gets an
// empty structure.
ZELPH_CHAIN_API bool DeserializeModelFromJsonFile(const char* path, JsonParser parser,
                                                  std::shared_ptr<IDataProcessModel> model);

// Reads the file into `structure` without clearing it first: the description text is
// replaced, fields the file sets are overwritten, controls, ports and tags are appended.
ZELPH_CHAIN_API bool DeserializeModelStructureFromJsonFile(const char* path, JsonParser parser,
                                                           zelph::BaseModelStructure* structure);

// Reads the file as a parent description: only its top-level "tags" are added to
// `structure`; everything else is skipped.
ZELPH_CHAIN_API bool DeserializeParentModelStructureFromJsonFile(
    const char* path, JsonParser parser, zelph::BaseModelStructure* structure);

}  // extern "C"
