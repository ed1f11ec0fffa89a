// zelph_config.h
//
// ZelphConfig: the one process-wide configuration of the system (server address, logging,
// installation folders, chain choices, host switches, a free property bag and the first
// initialisation failure), with its enumerations and their text conversions, among them
// JsonParser, the JSON back-end selector that every JSON reader and writer takes.
//
// Threading: the object is written only during start-up (defaults on first use, then the
// configuration file, then the host's command line) and read without a lock afterwards.
// The property bag carries its own lock.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "zelph/chain/export.h"
#include "zelph/logger/log_config.h"

class Property;

// What a failing worker does to the chain run. Texts: "inhert", "interrupt", "ignore".
enum class ExceptionAction : int { kInhert = 0, kInterrupt = 1, kIgnore = 2 };

// How the Java plug-in reports Java exceptions. Texts: "stack-trace", "describe", "ignore".
enum class JavaExceptionHandle : int { kStackTrace = 1, kDescribe = 2, kIgnore = 3 };

// Which chain class the host creates. Texts: "base-chain", "linked-chain".
enum class ChainImplType : int { kBaseChain = 1, kLinkedChain = 2 };

// Server cache kind. Texts: "none", "mem".
enum class ServerCacheType : int { kNone = 0, kMem = 1 };

// The strategy that orders a chain's workers. Texts: "base", "graph", "rgraph",
// "output_broadcast".
enum class ExecutionStrategyType : int { kBase = 0, kGraph = 1, kRGraph = 2, kOutputBroadcast = 3 };

// JSON back-end: kMiniJson the streaming reader and compact writer, kRapidJson RapidJSON
// documents.
enum class JsonParser : int { kMiniJson = 0, kRapidJson = 1 };

class ZELPH_CHAIN_API ZelphConfig {
 public:
  // The singleton, made with the defaults on first use; never null, never destroyed.
  static ZelphConfig* GetInstance();
  virtual ~ZelphConfig();
  ZelphConfig(const ZelphConfig&) = delete;
  ZelphConfig& operator=(const ZelphConfig&) = delete;

  // Reads the configuration file at `path` (UTF-8) into this object. True when the file
  // was parsed and applied, false on a syntax error (the reason goes to standard error);
  // the result is also kept as IsInitialized. Throws zelph::Exception "Something wrong in
  // JSON file!" when the file cannot be opened or a section value has the wrong type, and
  // std::runtime_error "Invalid configuration: ..." naming the key when a bound of the server
  // is not a whole number in its range; the values applied before that stay applied.
  bool ParseConfigJson(const char* path);

  bool IsExtendedMode() const { return extended_mode_; }
  void SetExtendedMode(bool value) { extended_mode_ = value; }
  bool IsServerEnabled() const { return server_enabled_; }
  void SetServerEnabled(bool value) { server_enabled_ = value; }
  std::string GetHost() const { return host_; }
  void SetHost(const char* host) { host_ = host ? host : ""; }
  int GetPort() const { return port_; }
  void SetPort(int port) { port_ = port; }
  std::filesystem::path GetBinHome() const { return bin_home_; }
  void SetBinHome(const std::filesystem::path& folder) { bin_home_ = folder; }

  // The product home: relative (the configured text; ".." when it is empty) or joined to
  // the bin home (an empty text then gives the bin home with a trailing separator).
  std::filesystem::path GetDavodavoraHome(bool relative) const;
  void SetDavodavoraRelativeDir(const std::string& folder) { davodavora_relative_dir_ = folder; }
  // The JDK home: an absolute text unchanged, a relative one joined to the bin home.
  std::filesystem::path GetJdkHome() const;
  void SetJdkHome(const std::string& folder) { jdk_home_ = folder; }

  std::string GetSeverityLevel() const { return severity_name_; }
  ZelphSeverityLevel GetSeverity() const { return static_cast<ZelphSeverityLevel>(severity_code_); }
  int GetSeverityCode() const { return severity_code_; }
  // Stores the name and its code (SeverityNameToCode).
  void SetSeverityLevel(const char* name);
  // Case-insensitive severity names; "critical" and "fatal" both give kCritical; any other
  // text gives kTrace.
  static ZelphSeverityLevel SeverityNameToCode(const char* name);
  // The configuration's own severity test: true when `level` is at least the configured
  // code. It does not consult the loggers.
  bool CheckSeverity(ZelphSeverityLevel level) const;
  bool CheckSeverity(int level) const;

  std::string GetLogFileName() const { return log_file_; }
  void SetLogFile(const char* pattern) { log_file_ = pattern ? pattern : ""; }
  std::string GetLogSink() const { return log_sink_; }
  void SetLogSink(const char* sink) { log_sink_ = sink ? sink : ""; }
  std::string GetLogFormat() const { return log_format_; }
  void SetLogFormat(const char* format) { log_format_ = format ? format : ""; }
  // The folder for crash reports ("server" → "crash_reports"), as written; empty for beside
  // the program. At start-up the host replaces it by the absolute folder the reports go to.
  std::string GetCrashReportFolder() const { return crash_report_folder_; }
  void SetCrashReportFolder(const std::string& folder) { crash_report_folder_ = folder; }
  // How many crash reports of each kind (the program's, the Java VM's error logs) the crash
  // report folder keeps ("server" → "crash_reports_kept"); 0 keeps all.
  int GetCrashReportsKept() const { return crash_reports_kept_; }
  void SetCrashReportsKept(int count) { crash_reports_kept_ = count; }
  // The days of daily log files kept ("server" → "log" → "days_kept"), today's among them;
  // 0 keeps all.
  int GetLogDaysKept() const { return log_days_kept_; }
  void SetLogDaysKept(int days) { log_days_kept_ = days; }

  ServerCacheType GetCacheType() const { return cache_type_; }
  // Exactly "none" or "mem"; other texts keep the value.
  void SetCacheType(const char* text);
  JavaExceptionHandle GetJavaExceptionHandle() const { return java_exception_handle_; }
  // "ignore", "describe", "stack-trace" in any case; other texts keep the value.
  void SetExceptionHandle(const char* text);
  ChainImplType GetChainImplType() const { return chain_impl_type_; }
  // "linked-chain", "base-chain" in any case; other texts keep the value.
  void SetChainImplType(const char* text);

  // The configuration's free settings; owned by this object. Never null.
  Property* GetProperties() const { return properties_.get(); }

  bool IsInitialized() const { return initialized_; }
  void SetInitialized(bool value) { initialized_ = value; }

  ExecutionStrategyType GetExecuteStrategyType() const { return execute_strategy_type_; }
  void SetExecuteStrategyType(ExecutionStrategyType type) { execute_strategy_type_ = type; }
  // The four strategy texts in any case; other texts keep the value and log the warning
  // "Unsupported execute strategy: {}".
  void SetExecuteStrategyType(const char* text);

  std::string GetSolutionAppsDir() const { return solution_apps_dir_; }
  void SetSolutionAppsDir(const std::string& folder) { solution_apps_dir_ = folder; }
  std::string GetSolutionTemplateDir() const { return solution_configurations_dir_; }
  void SetSolutionConfigurationsDir(const std::string& folder) {
    solution_configurations_dir_ = folder;
  }

  ExceptionAction GetExceptionAction() const { return exception_action_; }
  // Exactly "inhert", "interrupt" or "ignore": sets the action and returns true. Other
  // texts keep the value, log the error "Failed set exception action, unsupported action
  // setting: {}" and return false.
  bool SetExceptionAction(const std::string& text);

  JsonParser GetChainReaderType() const { return chain_reader_type_; }
  void SetChainReaderType(const std::string& text);
  JsonParser GetChainWriterType() const { return chain_writer_type_; }
  void SetChainWriterType(const std::string& text);

  int GetSessionIdleTimeoutMin() const { return session_idle_timeout_min_; }
  void SetSessionIdleTimeoutMin(int minutes) { session_idle_timeout_min_ = minutes; }

  // Bounds of the server ("server" keys of the same names): the threads gRPC may run calls
  // on, the calls one connection may have open at once, and the bytes the replies of all
  // calls may hold until they are sent. The file's values are checked when it is read.
  int GetMaxHandlerThreads() const { return max_handler_threads_; }
  void SetMaxHandlerThreads(int threads) { max_handler_threads_ = threads; }
  int GetMaxStreamsPerConnection() const { return max_streams_per_connection_; }
  void SetMaxStreamsPerConnection(int streams) { max_streams_per_connection_ = streams; }
  std::uint64_t GetMaxReplyBytesInFlight() const { return max_reply_bytes_in_flight_; }
  void SetMaxReplyBytesInFlight(std::uint64_t bytes) { max_reply_bytes_in_flight_ = bytes; }
  // The time a reply has to reach its client once its handler has returned.
  int GetReplySendTimeoutSeconds() const { return reply_send_timeout_s_; }
  void SetReplySendTimeoutSeconds(int seconds) { reply_send_timeout_s_ = seconds; }
  // The memory gRPC may give to requests it has read but not yet handed to a handler.
  std::uint64_t GetMaxRequestBytesInFlight() const { return max_request_bytes_in_flight_; }
  void SetMaxRequestBytesInFlight(std::uint64_t bytes) { max_request_bytes_in_flight_ = bytes; }
  // The chain runs in progress at once ("server" key "max_runs"), synchronous and
  // asynchronous: each asynchronous run takes a thread of its own.
  int GetMaxRuns() const { return max_runs_; }
  void SetMaxRuns(int runs) { max_runs_ = runs; }

  bool IsServiceEnabled() const { return service_enabled_; }
  void SetServiceEnabled(bool value) { service_enabled_ = value; }
  std::string GetServiceName() const { return service_name_; }
  // The service name with every byte widened to one wide character.
  std::wstring GetServiceNameW() const;
  void SetServiceName(const std::string& name) { service_name_ = name; }

  // Command-line arguments the host did not recognise (UTF-8), passed on to the Java VM.
  std::vector<std::string> GetUnrecognizedCliArgPointers() { return unrecognized_cli_args_; }
  void SetUnrecognizedCliArgPointers(std::vector<std::string> arguments) {
    unrecognized_cli_args_ = std::move(arguments);
  }

  bool IsIgnoreExtInitError() const { return ignore_ext_init_error_; }
  void SetIgnoreExtInitError(bool value) { ignore_ext_init_error_ = value; }
  bool IsShowMessageBoxOnExit() const { return show_message_box_on_exit_; }
  void SetShowMessageBoxOnExit(bool value) { show_message_box_on_exit_ = value; }

  std::string GetInitializationExceptionReason() const { return initialization_exception_reason_; }
  // Keeps the first non-empty reason of the process; later reasons are dropped.
  void SetInitializationExceptionReasonIfFirst(std::string reason);

  // The folder part of the log file pattern after replacing "$(running.home.directory)"
  // (the joined product home) and "$(temp)"; empty when the pattern has none.
  std::string GetLogDirectory() const;
  // Prints the bin home and the absolute product home on standard output.
  void PrintFolderInformation() const;

 private:
  ZelphConfig();

  bool extended_mode_ = false;
  bool server_enabled_ = false;
  std::string host_;
  int port_ = -1;
  std::filesystem::path bin_home_;
  std::string davodavora_relative_dir_ = "..";
  std::string jdk_home_ = "../jdk";
  std::string severity_name_;
  int severity_code_ = static_cast<int>(ZelphSeverityLevel::kTrace);
  std::string log_file_ = "log_%N.log";
  std::string log_sink_;
  std::string log_format_;
  std::string crash_report_folder_;
  int crash_reports_kept_ = 20;
  int log_days_kept_ = 0;
  ServerCacheType cache_type_ = ServerCacheType::kNone;
  JavaExceptionHandle java_exception_handle_ = JavaExceptionHandle::kStackTrace;
  ChainImplType chain_impl_type_ = ChainImplType::kLinkedChain;
  std::unique_ptr<Property> properties_;
  bool initialized_ = false;
  ExecutionStrategyType execute_strategy_type_ = ExecutionStrategyType::kBase;
  std::string solution_apps_dir_;
  std::string solution_configurations_dir_;
  ExceptionAction exception_action_ = ExceptionAction::kInhert;
  JsonParser chain_reader_type_ = JsonParser::kRapidJson;
  JsonParser chain_writer_type_ = JsonParser::kRapidJson;
  int session_idle_timeout_min_ = 5;
  int max_handler_threads_ = 128;
  int max_streams_per_connection_ = 32;
  // Any one reply the transport can carry (2 GB) fits alone, with its serialised copy.
  std::uint64_t max_reply_bytes_in_flight_ = std::uint64_t{4} << 30;
  int reply_send_timeout_s_ = 30;
  std::uint64_t max_request_bytes_in_flight_ = std::uint64_t{4} << 30;
  int max_runs_ = 64;
  bool service_enabled_ = false;
  std::string service_name_;
  std::vector<std::string> unrecognized_cli_args_;
  bool ignore_ext_init_error_ = false;
  bool show_message_box_on_exit_ = true;
  std::string initialization_exception_reason_;
};

// Exactly "kMiniJson" or "mini_json" give kMiniJson; every other text gives kRapidJson.
ZELPH_CHAIN_API JsonParser StringToJsonParser(const std::string& text);
// "kMiniJson", "kRapidJson", or the empty text for another value.
ZELPH_CHAIN_API std::string JsonParserToString(JsonParser parser);
// Throws std::runtime_error "Unsupported execution strategy type" for a value outside 0-3.
ZELPH_CHAIN_API std::string ExecutionStrategyToString(ExecutionStrategyType type);
// Exact texts; any other text, the empty one included, gives kRGraph.
ZELPH_CHAIN_API ExecutionStrategyType ExecutionStrategyFromString(const std::string& text);
