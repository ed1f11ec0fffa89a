// config_severity.h
//
// The model's log lines pass two gates: the configuration's own severity test, then the
// logger's. The first is the one place where this folder asks the configuration singleton
// about logging.
#pragma once

#include "zelph/logger/log.h"

namespace zelph::model {

// Whether the configured severity lets a line of `level` through.
// Switch point: answer ZelphConfig::GetInstance()->CheckSeverity(level) once the
// configuration singleton is part of this library; until then only the logger's gate counts.
inline bool ConfigSeverityAllows(ZelphSeverityLevel /*level*/) { return true; }

}  // namespace zelph::model

// ZELPH_LOG behind the configuration's gate; arguments are evaluated only when both pass.
#define ZELPH_MODEL_LOG(level, ...)                    \
  do {                                                 \
    if (::zelph::model::ConfigSeverityAllows(level)) { \
      ZELPH_LOG(level, __VA_ARGS__);                   \
    }                                                  \
  } while (false)
