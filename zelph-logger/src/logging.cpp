// logging.cpp
//
// Creation, gate and release of the two process-wide loggers, with the bound on the days of
// log files kept. The exported pointers are swapped atomically, so a detached thread that
// logs during ReleaseSpdLogging sees either a live logger or none, never a freed one.
#include <spdlog/sinks/daily_file_sink.h>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/spdlog.h>

#include <atomic>
#include <boost/algorithm/string/replace.hpp>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <map>
#include <stdexcept>

#include "log_retention.h"
#include "zelph/logger/log.h"
#include "zelph/logger/log_config.h"
#include "zelph/platform/known_folders.h"

std::shared_ptr<spdlog::logger> kFileLogger;
std::shared_ptr<spdlog::logger> kConsoleLogger;

namespace {

std::atomic<bool> initialized{false};

spdlog::level::level_enum ToSpdLevel(ZelphSeverityLevel level) {
  const int value = static_cast<int>(level);
  if (value < 0 || value > 6) return spdlog::level::err;
  return static_cast<spdlog::level::level_enum>(value);
}

void DebugTrace(std::string text) {
  if (!LogConfig::IsDebugMode()) return;
  std::cerr << "~~DEBUG_LOG~~ " << text << std::endl;
}

// Variable text to folder, ordered by the variable text; a folder that cannot be found is
// logged and left out, so a file name that uses it keeps the variable literally.
std::map<std::string, std::string> FolderVariables() {
  std::map<std::string, std::string> folders;
  try {
    folders["$(temp)"] = zelph::sys::TempFolder();
  } catch (const std::filesystem::filesystem_error& e) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "{}", e.what());
  }
  struct Lookup {
    const char* variable;
    std::string (*folder)();
    const char* failure;
  };
  static constexpr Lookup kLookups[] = {
      {"$(app.data)", zelph::sys::CommonAppDataFolder, "Failed get common app data dir: {}"},
      {"$(user.home)", zelph::sys::UserProfileFolder, "Failed get user profile dir: {}"},
      {"$(user.documents)", zelph::sys::UserDocumentsFolder, "Failed get user documents dir: {}"},
  };
  for (const Lookup& lookup : kLookups) {
    try {
      folders[lookup.variable] = lookup.folder();
    } catch (const std::runtime_error& e) {
      ZELPH_LOG(ZelphSeverityLevel::kError, fmt::runtime(lookup.failure), e.what());
    }
  }
  return folders;
}

void CreateFileLogger(const LogConfig& config) {
  DebugTrace("Creating file logger...");
  std::string file = config.GetFile();
  if (!file.empty()) {
    for (const auto& [variable, folder] : FolderVariables()) {
      boost::algorithm::replace_all(file, variable, folder);
    }
  }
  const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(file));
  if (!std::filesystem::exists(absolute.parent_path())) {
    std::filesystem::create_directories(absolute.parent_path());
  }
  DebugTrace("Main logger created: " + absolute.string());
  try {
    DebugTrace("Creating daily Spd logger...");
    spdlog::file_event_handlers handlers;
    if (const int days_kept = config.GetDaysKept(); days_kept > 0) {
      // Runs for the first file and at each day's rotation, so a program that runs for
      // months still drops what falls out of the window.
      handlers.after_open = [absolute, days_kept](const spdlog::filename_t&, std::FILE*) {
        // The sink's clock, which dated the file just opened; time() reads a coarser one.
        const std::time_t now =
            std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
        std::tm today{};
        localtime_r(&now, &today);
        zelph::logger::RemoveExpiredLogFiles(absolute, days_kept, today);
      };
    }
    auto logger = spdlog::daily_logger_mt("file", file, 0, 0, false, 0, handlers);
    if (!logger) {
      std::cerr << "Cannot create daily logger!" << std::endl;
    } else {
      // The name of today's file, which the configured name only stands for.
      const auto sink =
          std::static_pointer_cast<spdlog::sinks::daily_file_sink_mt>(logger->sinks().front());
      std::cout << "Log file: " << std::filesystem::absolute(sink->filename()).string()
                << std::endl;
      logger->set_pattern(config.GetLogFormat());
      logger->set_level(ToSpdLevel(config.GetSeverity()));
      std::atomic_store(&kFileLogger, logger);
    }
    DebugTrace("Daily Spd logger created");
  } catch (const std::exception& e) {
    std::atomic_store(&kFileLogger, std::shared_ptr<spdlog::logger>());
    const std::string text = fmt::format("Can't create spdlog('file'): {}", e.what());
    std::cerr << text << std::endl;
    throw std::runtime_error(text);
  }
}

void CreateConsoleLogger(const LogConfig& config) {
  DebugTrace("Creating console logger...");
  std::shared_ptr<spdlog::logger> logger;
  try {
    logger = spdlog::stderr_color_mt("console", spdlog::color_mode::automatic);
    logger->set_pattern(config.GetConsoleLogFormat());
  } catch (const std::exception& e) {
    std::cerr << "Can't create spdlog('console'): '" << e.what() << std::endl;
    return;
  }
  logger->set_level(ToSpdLevel(config.GetSeverity()));
  std::atomic_store(&kConsoleLogger, logger);
}

}  // namespace

void InitializeSpdLogging(const LogConfig& config) {
  DebugTrace("Creating Spd logger...");
  if (initialized.exchange(true)) {
    std::cerr << "Prevent attempt to initialize logging second time" << std::endl;
    DebugTrace("Prevent attempt to initialize logging second time");
    return;
  }
  const std::string sink = config.GetSink();
  if (sink.find("FileText") != std::string::npos) CreateFileLogger(config);
  if (sink.find("Console") != std::string::npos) CreateConsoleLogger(config);
}

void ReleaseSpdLogging() {
  ZELPH_LOG(ZelphSeverityLevel::kInfo, "Release file logging");
  std::atomic_store(&kFileLogger, std::shared_ptr<spdlog::logger>());
  std::atomic_store(&kConsoleLogger, std::shared_ptr<spdlog::logger>());
  spdlog::shutdown();
}

bool CheckSeverity(ZelphSeverityLevel level) {
  auto logger = std::atomic_load(&kFileLogger);
  if (!logger) logger = std::atomic_load(&kConsoleLogger);
  return logger && logger->should_log(ToSpdLevel(level));
}

namespace zelph {

void WriteLogLine(ZelphSeverityLevel level, std::string_view text) {
  const auto spd_level = ToSpdLevel(level);
  if (auto file = std::atomic_load(&kFileLogger)) {
    file->log(spd_level, text);
    file->flush();
  }
  if (auto console = std::atomic_load(&kConsoleLogger)) console->log(spd_level, text);
}

}  // namespace zelph
