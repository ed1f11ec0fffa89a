// rapidjson.h
//
// The one way into RapidJSON for every file of the system. It turns RapidJSON's assertions
// into a zelph::Exception "Something wrong in JSON file!" (so reading a value of the wrong
// type, such as GetString() on a number, fails the reading instead of the process), and it
// offers the document parses that every reader uses: iterative, so the parser itself never
// recurses, and limited to kMaxDocumentDepth levels, so nothing that walks a document
// afterwards can exhaust the stack either.
//
// Include this header before any RapidJSON header; including RapidJSON first is an error.
//
//   rapidjson::Document document;
//   rapidjson::ParseResult result = zelph::json::ParseJsonFile(path, document);
//   if (result.IsError()) throw std::runtime_error(FormatParseErrorCode(result.Code()));
#pragma once

#if defined(RAPIDJSON_RAPIDJSON_H_) && !defined(ZELPH_RAPIDJSON_HOOKED)
#error "Include zelph/config/rapidjson.h before any RapidJSON header"
#endif
#define ZELPH_RAPIDJSON_HOOKED 1

#include <cstddef>
#include <string>

#include "zelph/chain/exception.h"
#include "zelph/chain/export.h"

namespace zelph::json {

// The text of every failed RapidJSON assertion and of a JSON file that cannot be opened.
inline constexpr const char* kJsonFileError = "Something wrong in JSON file!";

[[noreturn]] inline void ThrowJsonAssertion() { throw Exception(kJsonFileError); }

}  // namespace zelph::json

#define RAPIDJSON_ASSERT(x) ((x) ? static_cast<void>(0) : ::zelph::json::ThrowJsonAssertion())

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

namespace zelph::json {

// Deeper documents fail with kParseErrorTermination (16) at the offset of the first
// opening brace or bracket beyond the limit.
inline constexpr int kMaxDocumentDepth = 256;

// Parses `length` bytes (no terminating NUL needed) into `document`. The text must hold
// exactly one value. On failure the document is left null.
ZELPH_CHAIN_API rapidjson::ParseResult ParseJsonText(const char* text, std::size_t length,
                                                     rapidjson::Document& document);

// Parses the file at `path` (UTF-8) through a 64 KiB buffer. Throws zelph::Exception
// kJsonFileError when the path is not a regular file or cannot be opened.
ZELPH_CHAIN_API rapidjson::ParseResult ParseJsonFile(const std::string& path,
                                                     rapidjson::Document& document);

}  // namespace zelph::json

namespace zelph {

// "parse error code: {}" with the code as a decimal number: the text of the
// std::runtime_error that file readers throw on a syntax error.
ZELPH_CHAIN_API std::string FormatParseErrorCode(rapidjson::ParseErrorCode code);

}  // namespace zelph
