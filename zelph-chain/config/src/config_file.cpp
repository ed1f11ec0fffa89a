// config_file.cpp
//
// ZelphConfig::ParseConfigJson: applies a configuration document to the singleton, key by
// key in a fixed order. Section keys are read through RapidJSON's typed accessors, whose
// assertion hook fails the whole reading on a wrong type (values applied before stay
// applied); path keys are JSON Pointers whose absence or wrong type is simply ignored.
#include "zelph/config/rapidjson.h"

#include <fmt/format.h>
#include <rapidjson/pointer.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>

#include "zelph/config/zelph_config.h"
#include "zelph/logger/log.h"
#include "zelph/model/property.h"

namespace {

using rapidjson::Value;

// gRPC counts threads in an int, and the server's thread cap is about twice this.
constexpr int kMostHandlerThreads = 100000;
constexpr int kMostRuns = 100000;
// Days of log files and crash reports kept: a century of either is as good as all.
constexpr int kMostKept = 36500;
constexpr const char* kServer = "\"server\"";
// A day: a reply that a client has not read in a day is one no one reads.
constexpr int kMostReplySendSeconds = 86400;

// The member `key` of `parent`, or null; the first of repeated keys counts.
const Value* Find(const Value& parent, const char* key) {
  const auto member = parent.FindMember(key);
  return member == parent.MemberEnd() ? nullptr : &member->value;
}

// A section present under `key` must be an object.
const Value* FindSection(const Value& parent, const char* key) {
  const Value* section = Find(parent, key);
  if (section != nullptr) section->GetObject();
  return section;
}

const Value* FindPath(const Value& root, const char* path) {
  return rapidjson::Pointer(path).Get(root);
}

// A bound of the server: absent keeps the default; anything but a whole number from `least`
// to `most` stops the start-up with a text naming the key and its section (`where`).
template <typename Number>
void IfBound(const Value& section, const char* where, const char* key, Number least, Number most,
             void (ZelphConfig::*set)(Number), ZelphConfig& config) {
  const Value* value = Find(section, key);
  if (value == nullptr) return;
  if (!value->IsUint64() || value->GetUint64() < static_cast<std::uint64_t>(least) ||
      value->GetUint64() > static_cast<std::uint64_t>(most)) {
    rapidjson::StringBuffer text;
    rapidjson::Writer<rapidjson::StringBuffer> writer(text);
    value->Accept(writer);
    throw std::runtime_error(
        fmt::format("Invalid configuration: {}: \"{}\" must be a whole number from {} to {}, not "
                    "{:.64}",
                    where, key, least, most, std::string_view(text.GetString(), text.GetSize())));
  }
  (config.*set)(static_cast<Number>(value->GetUint64()));
}

template <typename Apply>
void IfString(const Value& parent, const char* key, Apply apply) {
  if (const Value* value = Find(parent, key)) apply(value->GetString());
}

void ApplyVideoSection(const Value& root, ZelphConfig& config) {
  const Value* vp = FindSection(root, "vp");
  if (vp == nullptr) return;
  const Value* frame = FindSection(*vp, "frame");
  if (frame == nullptr) return;
  IfString(*frame, "size",
           [&](const char* size) { config.GetProperties()->SetValue("vp.frame.size", size); });
}

void ApplyServerSection(const Value& root, ZelphConfig& config) {
  const Value* server = FindSection(root, "server");
  if (server == nullptr) return;
  if (const Value* enabled = Find(*server, "enabled")) config.SetServerEnabled(enabled->GetBool());
  IfString(*server, "host", [&](const char* host) { config.SetHost(host); });
  if (const Value* port = Find(*server, "port")) config.SetPort(port->GetInt());
  IfString(*server, "crash_reports",
           [&](const char* folder) { config.SetCrashReportFolder(folder); });
  IfBound(*server, kServer, "max_handler_threads", 1, kMostHandlerThreads,
          &ZelphConfig::SetMaxHandlerThreads, config);
  IfBound(*server, kServer, "max_streams_per_connection", 1, std::numeric_limits<int>::max(),
          &ZelphConfig::SetMaxStreamsPerConnection, config);
  IfBound(*server, kServer, "max_runs", 1, kMostRuns, &ZelphConfig::SetMaxRuns, config);
  IfBound(*server, kServer, "max_reply_bytes_in_flight", std::uint64_t{1},
          std::numeric_limits<std::uint64_t>::max() / 2, &ZelphConfig::SetMaxReplyBytesInFlight,
          config);
  IfBound(*server, kServer, "crash_reports_kept", 0, kMostKept, &ZelphConfig::SetCrashReportsKept,
          config);
  IfBound(*server, kServer, "reply_send_timeout_s", 1, kMostReplySendSeconds,
          &ZelphConfig::SetReplySendTimeoutSeconds, config);
  IfBound(*server, kServer, "max_request_bytes_in_flight", std::uint64_t{1},
          std::numeric_limits<std::uint64_t>::max() / 2, &ZelphConfig::SetMaxRequestBytesInFlight,
          config);

  if (const Value* log = FindSection(*server, "log")) {
    IfString(*log, "severity", [&](const char* name) { config.SetSeverityLevel(name); });
    IfString(*log, "file", [&](const char* file) { config.SetLogFile(file); });
    IfString(*log, "sink", [&](const char* sink) { config.SetLogSink(sink); });
    IfString(*log, "format", [&](const char* format) { config.SetLogFormat(format); });
    IfBound(*log, "\"server\": \"log\"", "days_kept", 0, kMostKept, &ZelphConfig::SetLogDaysKept,
            config);
  }
  if (const Value* exception = FindSection(*server, "exception")) {
    IfString(*exception, "handle", [&](const char* handle) { config.SetExceptionHandle(handle); });
    const Value* show = Find(*exception, "show_message_box_on_exit");
    if (show != nullptr && show->IsBool()) config.SetShowMessageBoxOnExit(show->GetBool());
  }
  if (const Value* cache = FindSection(*server, "cache")) {
    IfString(*cache, "type", [&](const char* type) { config.SetCacheType(type); });
  }
  if (const Value* solution = FindSection(*server, "solution")) {
    const Value* apps = Find(*solution, "apps");
    const Value* configurations = Find(*solution, "configurations");
    if (apps != nullptr && configurations != nullptr) {
      config.SetSolutionAppsDir(apps->GetString());
      config.SetSolutionConfigurationsDir(configurations->GetString());
    }
  }

  const Value* idle = FindPath(root, "/server/session/idle_timeout_min");
  if (idle != nullptr && idle->IsNumber()) config.SetSessionIdleTimeoutMin(idle->GetInt());
  const Value* name = FindPath(root, "/server/service/name");
  if (name != nullptr && name->IsString()) config.SetServiceName(name->GetString());
  const Value* service = FindPath(root, "/server/service/enabled");
  if (service != nullptr && service->IsBool()) config.SetServiceEnabled(service->GetBool());
  const Value* ignore = FindPath(root, "/server/initialization/ignore_ext_init_error");
  if (ignore != nullptr && ignore->IsBool()) config.SetIgnoreExtInitError(ignore->GetBool());

  if (const Value* dir = FindSection(*server, "dir")) {
    IfString(*dir, "davodavora",
             [&](const char* folder) { config.SetDavodavoraRelativeDir(folder); });
  }
  if (const Value* jdk = FindSection(*server, "jdk")) {
    IfString(*jdk, "home", [&](const char* folder) { config.SetJdkHome(folder); });
  }
}

void ApplyChainSection(const Value& root, ZelphConfig& config) {
  const Value* chain = FindSection(root, "chain");
  if (chain == nullptr) return;
  IfString(*chain, "type", [&](const char* type) { config.SetChainImplType(type); });
  if (const Value* cache = FindSection(*chain, "cache")) {
    IfString(*cache, "type", [&](const char* type) { config.SetCacheType(type); });
  }
  if (const Value* execution = FindSection(*chain, "execution")) {
    IfString(*execution, "strategy",
             [&](const char* strategy) { config.SetExecuteStrategyType(strategy); });
  }

  const Value* action = FindPath(root, "/chain/exception/action");
  if (action != nullptr && action->IsString() && !config.SetExceptionAction(action->GetString())) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed set exception action");
  }
  const Value* reader = FindPath(root, "/chain/reader");
  if (reader != nullptr && reader->IsString()) config.SetChainReaderType(reader->GetString());
  const Value* writer = FindPath(root, "/chain/writer");
  if (writer != nullptr && writer->IsString()) config.SetChainWriterType(writer->GetString());
}

}  // namespace

bool ZelphConfig::ParseConfigJson(const char* path) {
  rapidjson::Document document;
  const rapidjson::ParseResult result = zelph::json::ParseJsonFile(path ? path : "", document);
  if (result.IsError()) {
    // The loggers do not exist yet while the host reads its configuration.
    fmt::print(stderr, "Zelph config json parser error: {}, offset: {}\n",
               static_cast<int>(result.Code()), result.Offset());
    fmt::print(stderr, "parser error details: {}", rapidjson::GetParseError_En(result.Code()));
    std::fflush(stderr);
    initialized_ = false;
    return false;
  }
  document.GetObject();
  ApplyVideoSection(document, *this);
  ApplyServerSection(document, *this);
  ApplyChainSection(document, *this);
  initialized_ = true;
  return true;
}
