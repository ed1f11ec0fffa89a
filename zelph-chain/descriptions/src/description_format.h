// description_format.h
//
// The model description format, key by key: scalar fields, tags and option bits go into
// the structure as soon as they are read; controls and ports are collected for conversion
// once the whole text is read. Each control is checked when its object ends (name, value
// type, edition kind). Keys the format does not know are skipped whole.
#pragma once

#include "collected_description.h"
#include "zelph/config/json_stream_reader.h"
#include "zelph/model/model_structure.h"

namespace zelph::descriptions {

// Reads the root object of `reader`. Throws on a syntax error, on a value of the wrong
// kind and on a control that fails its checks; what was stored before stays stored.
void ReadDescription(const json::StreamReader& reader, BaseModelStructure& structure,
                     CollectedDescription& collected);

// Reads only the root's "tags" into `structure`.
void ReadParentDescription(const json::StreamReader& reader, BaseModelStructure& structure);

}  // namespace zelph::descriptions
