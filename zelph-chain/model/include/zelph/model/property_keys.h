// property_keys.h
//
// The property keys every deliverable shares: "$__system." keys are a worker's system
// settings, "__tmp." keys transient settings of a chain or project, "$__zelph." keys context
// that the chain hands to its workers. They are exported data so that plug-ins and the service
// compare against the very same texts.
#pragma once

#include "zelph/chain/export.h"

namespace zelph::sys {

ZELPH_CHAIN_API extern const char kName[];
ZELPH_CHAIN_API extern const char kEnabled[];
ZELPH_CHAIN_API extern const char kCurrentWorkingFolder[];
ZELPH_CHAIN_API extern const char kContextName[];
ZELPH_CHAIN_API extern const char kContextPath[];
ZELPH_CHAIN_API extern const char kExecutionStage[];
ZELPH_CHAIN_API extern const char kExecutorOrderMark[];
ZELPH_CHAIN_API extern const char kUnknownModelUuid[];
ZELPH_CHAIN_API extern const char kAutoContrastPreviewResult[];

// Keys of chain files of the older form.
namespace legacy {
ZELPH_CHAIN_API extern const char kName[];
ZELPH_CHAIN_API extern const char kEnabled[];
ZELPH_CHAIN_API extern const char kAutoRunEnabled[];
ZELPH_CHAIN_API extern const char kCollectStatistic[];
ZELPH_CHAIN_API extern const char kCreatePreview[];
ZELPH_CHAIN_API extern const char kThrowInputDataException[];
ZELPH_CHAIN_API extern const char kTiledView[];
}  // namespace legacy

}  // namespace zelph::sys

namespace zelph::tmp {

ZELPH_CHAIN_API extern const char kName[];
ZELPH_CHAIN_API extern const char kUuid[];
ZELPH_CHAIN_API extern const char kCategory[];
ZELPH_CHAIN_API extern const char kDescription[];
ZELPH_CHAIN_API extern const char kCommand[];
ZELPH_CHAIN_API extern const char kCreateStatistic[];
ZELPH_CHAIN_API extern const char kCreateVisibleResult[];
ZELPH_CHAIN_API extern const char kAllOutputsNecessary[];
ZELPH_CHAIN_API extern const char kEnableCache[];
ZELPH_CHAIN_API extern const char kVisibleResultMetaInformation[];
ZELPH_CHAIN_API extern const char kLastError[];
ZELPH_CHAIN_API extern const char kStatus[];
ZELPH_CHAIN_API extern const char kRequiredRawData[];
ZELPH_CHAIN_API extern const char kExecutionAll[];
ZELPH_CHAIN_API extern const char kIgnoreExceptions[];
ZELPH_CHAIN_API extern const char kMultiThreading[];

}  // namespace zelph::tmp

// Texts of the execution stages as chain files and descriptions write them.
namespace zelph::stage {

ZELPH_CHAIN_API extern const char kLoadingTime[];
ZELPH_CHAIN_API extern const char kRunTime[];

}  // namespace zelph::stage
