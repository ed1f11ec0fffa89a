// config_log.h
//
// Log calls of zelph-chain that also honour the configured level: ZELPH_CONFIG_LOG first asks
// the configuration's own severity test, then takes the ordinary log call (ZELPH_LOG), so a
// line passes only when both the configuration and the loggers admit its level. Arguments
// are evaluated only when it passes.
//
//   ZELPH_CONFIG_LOG(ZelphSeverityLevel::kInfo, "Start chain execution ('{}')", stage);
#pragma once

#include "zelph/config/zelph_config.h"
#include "zelph/logger/log.h"

#define ZELPH_CONFIG_LOG(level, ...)                          \
  do {                                                        \
    if (::ZelphConfig::GetInstance()->CheckSeverity(level)) { \
      ZELPH_LOG(level, __VA_ARGS__);                          \
    }                                                         \
  } while (false)
