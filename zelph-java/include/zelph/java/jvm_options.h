// jvm_options.h
//
// The option list the Java VM starts with, assembled from the installation:
//   0. "-XX:ErrorFile=<crash report folder>/hs_err_pid%p.log" when the configuration names
//      the folder: the VM's error log goes beside the program's crash reports and not to its
//      working folder (read-only where a package installs it) or to the temporary folder
//      (private to a service and gone when it stops); a later -XX:ErrorFile wins;
//   1. the "vm_options" of <home>/conf/jvm.json, then (extended mode) jvm.extended.json;
//   2. for each Java extension (every extension.json under <home>/ext, walked in name order,
//      platforms of technology "jvm" and language "java"): the "vm_options" of the
//      extension's own conf/jvm.json, then the platform's "vm_options";
//   3. the host's pass-through arguments that begin with "-D" or "-X";
//   4. "-Dnet.morvex.executors.root=<home>/ext";
//   5. "-Djava.class.path=" with every class-path entry of the option files and extensions,
//      each once, in byte order, joined by ':'.
// Earlier class-path options are removed; an option that an exclude pattern (ECMAScript,
// whole text, tested before variables are replaced) matches is dropped; "$(running.home.directory)"
// becomes the home folder; empty and "#"-led options are dropped last.
//
//   JvmOptions options;
//   InitializeJvmOptions(options);                        // reads the files
//   auto list = DropEmptyAndCommentedOptions(BuildJvmOptionList(options));
//
// "home" is the product home; when the working directory is the bin home it stays in its
// relative form (".." by default), so every path in the options is relative to the working
// directory. Runs on the plug-in loading thread; reads the configuration without a lock.
#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "zelph/config/data_extension.h"

struct JvmOptions {
  std::set<std::string> class_path;              // UTF-8 paths, each once, in byte order
  std::vector<std::string> vm_options;           // in the order added
  std::set<std::string> excludes;                // ECMAScript patterns
  std::map<std::string, std::string> variables;  // text to replace -> replacement
};

// Gathers class path, options, excludes and the home variable from the configuration's
// product home. Throws std::runtime_error "Java extensions folder {} not found (absolute
// path: {})", "Failed to parse Davodavora extension file:\n{}", "Failed to parse JVM
// JSON-file:\n{}", and std::filesystem::filesystem_error.
void InitializeJvmOptions(JvmOptions& options);
// The ordered option list (the class-path option replaces the others in `options`). Throws
// std::regex_error for an exclude that is no valid pattern.
std::vector<std::string> BuildJvmOptionList(JvmOptions& options);
// The list without empty entries and entries that begin with "#", in order.
std::vector<std::string> DropEmptyAndCommentedOptions(const std::vector<std::string>& options);

// The steps, for callers that assemble options themselves.
void ReadJvmFile(const std::filesystem::path& home, const std::filesystem::path& file,
                 JvmOptions& options);
// Every extension.json under `folder`, depth first; a folder reached again through a
// symbolic link is skipped.
void ReadJavaExtensions(const std::filesystem::path& folder,
                        std::vector<zelph::DataExtension>& extensions);
void AddJvmVariable(JvmOptions& options, const std::string& name, const std::string& value);
// Appends the arguments that begin with "-D" or "-X".
void AddCliArguments(const std::vector<std::string>& arguments, JvmOptions& options);
// "-XX:ErrorFile=<folder>/hs_err_pid%p.log"; the VM puts its process id for "%p".
std::string MakeErrorFileOption(const std::filesystem::path& folder);
std::string MakeRootProperty(const std::filesystem::path& home);
void AddClassPathOption(JvmOptions& options);
std::string JoinClassPath(const std::set<std::string>& class_path);
std::string ReplaceJvmVariables(const JvmOptions& options, const std::string& option);
