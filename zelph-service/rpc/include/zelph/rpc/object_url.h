// object_url.h
//
// Object URLs: the texts by which every API method names its objects, such as
// "/session:s/project:p/worker:w". A URL is a sequence of segments, each a "/", a kind word
// and optionally a ":" with the id of one object of that kind (the id may be empty). The
// kinds form a fixed tree (session > project > worker > property, ...), held once in a
// static table; an ObjectUrl records which places of that tree its segments selected and
// with which ids.
//
//   ObjectUrl url(request.url());
//   if (url.GetPath() == "/session/project/worker") {
//     std::string worker_id(url.Node(UrlPlace::kWorker).GetId());
//     std::string worker_url = url.Node(UrlPlace::kWorker).BuildUrl();
//   }
//
// Parsing is a pure text operation: it never fails and looks nothing up. Three rules make it
// differ from a plain split at "/":
// - matching splits a segment's name from its id at the segment's last ":", while the path
//   drops a segment's text from its first ":" (so "/session:a:b" selects nothing but has the
//   path "/session");
// - a name part selects the first child, in the tree's order, whose kind word begins with it
//   ("/sess:1" selects the session; an empty name selects the first child);
// - a segment without ":" selects its node without an id and ends matching.
// An absent id and an empty id ("/session:") differ: ValidateObjectUrl tests presence and
// BuildUrl writes "session:" for an empty one.
//
// Threading: no shared state. The tree is a constant table, and an ObjectUrl is never changed
// after construction.
#pragma once

#include <grpcpp/support/status.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A place in the tree of object kinds. Places that share a kind word (the three "property"
// nodes, the two "model" nodes) are told apart by their parent. The order is the table's:
// the children of every node are contiguous and in match order.
enum class UrlPlace : std::uint8_t {
  kRoot,
  // children of the root
  kSession,
  kModel,
  kApp,
  // child of "session"
  kProject,
  // children of "project"
  kWorker,
  kLink,
  kInput,
  kOutput,
  kProperty,
  kCache,
  kStatistic,
  kPreview,
  kProjectModel,
  kStatus,
  kConfig,
  kError,
  kSetting,
  kSettings,
  // children of "worker"
  kWorkerData,
  kWorkerProperty,
  kWorkerSystem,
  kWorkerInput,
  kWorkerOutput,
  kWorkerPort,
  // child of "setting"
  kSettingProperty,
  // child of "app"
  kTemplate,
};

class ObjectUrl;

// One node of the tree as one URL selected it: its kind word, its parent, and the id this
// URL gave it. A view into its ObjectUrl: valid while that object lives and is not moved.
class ObjectUrlNode {
 public:
  UrlPlace GetPlace() const { return place_; }
  // The kind word ("session", "property", ...); empty for the root.
  std::string_view GetName() const;
  // Whether a segment selected this node with a ":"; an empty id counts as present.
  bool HasId() const;
  // The id, empty when absent or empty.
  std::string_view GetId() const;
  // None for the root.
  std::optional<ObjectUrlNode> GetParent() const;
  // The URL of this node: "/name" or "/name:id" (when the id is present, even empty) for the
  // node and each ancestor, from the top down; the root gives the empty text. Every segment
  // carries the full kind word, whatever prefix of it the URL wrote.
  std::string BuildUrl() const;

 private:
  friend class ObjectUrl;
  ObjectUrlNode(const ObjectUrl* url, UrlPlace place) : url_(url), place_(place) {}

  const ObjectUrl* url_;
  UrlPlace place_;
};

// One parsed URL. Holds its own copy of the text, so ids stay valid however long the
// source lives; copies and moves are plain value copies (node views of the source do not
// follow them).
class ObjectUrl {
 public:
  // Reads `url` up to its first NUL character. Never fails.
  explicit ObjectUrl(std::string_view url);

  // The URL text as read (up to its first NUL).
  const std::string& GetUrl() const { return url_; }
  // The URL with every id removed ("/session/project/worker"); "/" when that is empty.
  const std::string& GetPath() const { return path_; }
  // The deepest node the URL selected, or none when its first segment selected nothing.
  std::optional<ObjectUrlNode> GetMatchedNode() const;
  // Any node of the tree, selected or not.
  ObjectUrlNode Node(UrlPlace place) const { return ObjectUrlNode(this, place); }

 private:
  friend class ObjectUrlNode;

  // Four levels: session, project, worker, property.
  static constexpr size_t kMaxDepth = 4;
  struct Selection {
    UrlPlace place = UrlPlace::kRoot;
    bool has_id = false;
    size_t id_offset = 0;  // into url_
    size_t id_length = 0;
  };

  void Match();
  // The selection of `place`, or null when the URL did not select it.
  const Selection* FindSelection(UrlPlace place) const;

  std::string url_;
  std::string path_;
  // The selected places from the top down: selected_[i] lies at depth i + 1.
  std::array<Selection, kMaxDepth> selected_;
  size_t selected_count_ = 0;
};

// The kind words that may stand below `place`, in the tree's order ("session", "model", "app"
// below the root).
std::vector<std::string_view> KindsBelow(UrlPlace place);

// OK for a URL of one or more characters; otherwise INVALID_ARGUMENT "Url is empty".
grpc::Status CheckUrlNotEmpty(const std::string& url);

// OK, or INVALID_ARGUMENT for the first failing check: the URL is empty, or its path begins
// with that of a kind whose id is required and the URL gave that node no id ("/session:id
// required", ...). Paths are tested by prefix, so "/sessionX" is checked like "/session".
grpc::Status ValidateObjectUrl(const std::string& url);

// INVALID_ARGUMENT "Invalid url: {url}, {reason}", the URL shortened as client text is in
// every status message.
grpc::Status MakeInvalidUrlStatus(const std::string& url, const std::string& reason);
