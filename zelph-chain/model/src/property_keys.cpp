// property_keys.cpp
//
// Values of the shared property keys.
#include "zelph/model/property_keys.h"

namespace zelph::sys {

const char kName[] = "$__system.name";
const char kEnabled[] = "$__system.enabled";
const char kCurrentWorkingFolder[] = "$__system.working_directory";
const char kContextName[] = "$__zelph.context_name";
const char kContextPath[] = "$__zelph.context_path";
const char kExecutionStage[] = "$__zelph.execution_stage";
const char kExecutorOrderMark[] = "$__zelph.executor_order_mark";
const char kUnknownModelUuid[] = "$__zelph.unknown_model_uuid";
const char kAutoContrastPreviewResult[] = "auto_contrast_preview_result";

namespace legacy {
const char kName[] = "__system.name";
const char kEnabled[] = "__system.enabled";
const char kAutoRunEnabled[] = "__system.autorun.enabled";
const char kCollectStatistic[] = "__system.collect_statistic";
const char kCreatePreview[] = "__system.create_preview";
const char kThrowInputDataException[] = "__system.throw.input_data_exception";
const char kTiledView[] = "__system.tiled.view";
}  // namespace legacy

}  // namespace zelph::sys

namespace zelph::tmp {

const char kName[] = "__tmp.name";
const char kUuid[] = "__tmp.uuid";
const char kCategory[] = "__tmp.category";
const char kDescription[] = "__tmp.description";
const char kCommand[] = "__tmp.command";
const char kCreateStatistic[] = "__tmp.create_statistic";
const char kCreateVisibleResult[] = "__tmp.create_visible_result";
const char kAllOutputsNecessary[] = "__tmp.all_outputs_necessary";
const char kEnableCache[] = "__tmp.enable.cache";
const char kVisibleResultMetaInformation[] = "__tmp.visible_result_meta_information";
const char kLastError[] = "__tmp.last_error";
const char kStatus[] = "__tmp.status";
const char kRequiredRawData[] = "__tmp.required_raw_data";
const char kExecutionAll[] = "__tmp.execution.all";
const char kIgnoreExceptions[] = "__tmp.execution.ignore_exceptions";
const char kMultiThreading[] = "__tmp.execution.multi_threading";

}  // namespace zelph::tmp

namespace zelph::stage {

const char kLoadingTime[] = "loading_time";
const char kRunTime[] = "run_time";

}  // namespace zelph::stage
