// manual_cases.cpp
//
// Reading the calls of the API manual out of its Markdown text.
#include "manual_cases.h"

#include <sstream>
#include <stdexcept>

namespace zelph::manual {
namespace {

constexpr char kArrow[] = "\u2192";    // "→"
constexpr char kAnyText[] = "\u2026";  // "…"

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool StartsWith(const std::string& text, const std::string& start) {
  return text.rfind(start, 0) == 0;
}

std::invalid_argument ManualError(int line, const std::string& what) {
  return std::invalid_argument("api.md line " + std::to_string(line) + ": " + what);
}

// The cells of a table line "| a | b |"; "\|" is a "|" inside a cell.
std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells;
  std::string cell;
  for (size_t i = 1; i < line.size(); ++i) {
    if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '|') {
      cell += '|';
      ++i;
    } else if (line[i] == '|') {
      cells.push_back(Trim(cell));
      cell.clear();
    } else {
      cell += line[i];
    }
  }
  return cells;
}

// The content of a cell that is one code span.
std::string CodeSpan(const std::string& cell, int line) {
  if (cell.size() < 2 || cell.front() != '`' || cell.back() != '`') {
    throw ManualError(line, "expected one code span, found: " + cell);
  }
  return cell.substr(1, cell.size() - 2);
}

// "Method {request}" split into its method and its request without the braces.
ManualCall ParseCall(const std::string& text, int line) {
  const size_t open = text.find('{');
  if (open == std::string::npos || Trim(text).back() != '}') {
    throw ManualError(line, "a call is \"Method {request}\": " + text);
  }
  const std::string trimmed = Trim(text);
  ManualCall call;
  call.method = Trim(text.substr(0, open));
  call.request = trimmed.substr(trimmed.find('{') + 1);
  call.request.pop_back();
  return call;
}

// `answer` checked to be one that ParseAnswer takes, for a case of the manual's `line`.
std::string CheckedAnswer(const std::string& answer, int line) {
  try {
    ParseAnswer(answer);
  } catch (const std::invalid_argument& error) {
    throw ManualError(line, error.what());
  }
  return answer;
}

// The calls of a fenced block: a call begins at a line's start, "→" begins its answer,
// indented lines continue either.
std::vector<ManualCall> ParseBlock(const std::vector<std::string>& lines, int first_line) {
  std::vector<ManualCall> calls;
  std::string call_text;
  std::string answer_text;
  int call_line = first_line;
  int answer_line = first_line;
  auto finish = [&] {
    if (call_text.empty()) return;
    ManualCall call = ParseCall(call_text, call_line);
    call.answer = Trim(answer_text);
    if (!call.answer.empty()) CheckedAnswer(call.answer, answer_line);
    calls.push_back(std::move(call));
    call_text.clear();
    answer_text.clear();
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const int number = first_line + static_cast<int>(i);
    if (Trim(line).empty()) continue;
    if (StartsWith(line, kArrow)) {
      if (call_text.empty()) throw ManualError(number, "an answer without a call");
      answer_text = line.substr(sizeof(kArrow) - 1);
      answer_line = number;
    } else if (line[0] == ' ' || line[0] == '\t') {
      (answer_text.empty() ? call_text : answer_text) += " " + Trim(line);
    } else {
      finish();
      call_text = line;
      call_line = number;
    }
  }
  finish();
  return calls;
}

}  // namespace

ExpectedAnswer ParseAnswer(const std::string& answer) {
  ExpectedAnswer expected;
  const size_t space = answer.find(' ');
  expected.code = answer.substr(0, space);
  const std::string rest = space == std::string::npos ? "" : Trim(answer.substr(space));
  if (rest.empty()) return expected;
  if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') {
    expected.has_message = true;
    expected.message = rest.substr(1, rest.size() - 2);
  } else if (rest.size() >= 2 && rest.front() == '{' && rest.back() == '}') {
    expected.has_reply = true;
    expected.reply = Trim(rest.substr(1, rest.size() - 2));
  } else {
    throw std::invalid_argument("an answer is CODE, CODE \"message\" or OK {reply}: " + answer);
  }
  return expected;
}

bool MatchesPattern(const std::string& written, const std::string& text) {
  const std::string any = kAnyText;
  // The spaces around a "…" belong to the text it stands for, which may be a single space:
  // "name: \"x\" … ports" matches "name: \"x\" ports".
  std::string pattern = written;
  for (const std::string& spaced : {" " + any, any + " "}) {
    for (size_t at = pattern.find(spaced); at != std::string::npos; at = pattern.find(spaced)) {
      pattern.replace(at, spaced.size(), any);
    }
  }
  size_t wildcard = pattern.find(any);
  if (wildcard == std::string::npos) return pattern == text;
  if (text.compare(0, wildcard, pattern, 0, wildcard) != 0) return false;
  // Each piece after a wildcard is matched at its first place; the last must end the text.
  size_t at = wildcard;
  size_t piece_start = wildcard + any.size();
  while (true) {
    const size_t next = pattern.find(any, piece_start);
    const std::string piece = pattern.substr(piece_start, next - piece_start);
    if (next == std::string::npos) {
      return text.size() >= at + piece.size() &&
             text.compare(text.size() - piece.size(), piece.size(), piece) == 0;
    }
    const size_t found = text.find(piece, at);
    if (found == std::string::npos) return false;
    at = found + piece.size();
    piece_start = next + any.size();
  }
}

std::vector<ManualCase> ReadManualCases(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);

  std::vector<ManualCase> cases;
  std::vector<ManualCall> setup;
  for (size_t i = 0; i < lines.size(); ++i) {
    const int number = static_cast<int>(i) + 1;
    if (StartsWith(lines[i], "```")) {
      const std::string kind = Trim(lines[i].substr(3));
      std::vector<std::string> block;
      size_t end = i + 1;
      while (end < lines.size() && !StartsWith(lines[end], "```")) block.push_back(lines[end++]);
      if (end == lines.size()) throw ManualError(number, "a block that does not end");
      if (kind == "setup") {
        setup = ParseBlock(block, number + 1);
      } else if (kind == "calls") {
        ManualCase sequence;
        sequence.line = number;
        sequence.calls = ParseBlock(block, number + 1);
        if (sequence.calls.empty()) throw ManualError(number, "a calls block without calls");
        cases.push_back(std::move(sequence));
      }
      i = end;
      continue;
    }
    if (!StartsWith(lines[i], "|")) continue;
    const std::vector<std::string> header = Cells(lines[i]);
    if (header.size() < 2 || header[0] != "call" || header[1] != "answer") continue;
    ++i;  // the line under the header
    // Row by row, up to the table's last line: the line after it is the outer loop's.
    while (i + 1 < lines.size() && StartsWith(lines[i + 1], "|")) {
      ++i;
      const int row_line = static_cast<int>(i) + 1;
      const std::vector<std::string> cells = Cells(lines[i]);
      if (cells.size() < 2) throw ManualError(row_line, "a row with fewer than two cells");
      ManualCall call = ParseCall(CodeSpan(cells[0], row_line), row_line);
      call.answer = CheckedAnswer(CodeSpan(cells[1], row_line), row_line);
      cases.push_back({row_line, setup, {std::move(call)}});
    }
  }
  return cases;
}

}  // namespace zelph::manual
