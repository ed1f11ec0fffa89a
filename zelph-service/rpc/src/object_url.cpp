// object_url.cpp
//
// The static tree of object kinds, URL matching and path, node URLs and the URL checks.
#include "zelph/rpc/object_url.h"

#include <fmt/format.h>

#include "zelph/logger/client_text.h"

namespace {

struct PlaceInfo {
  std::string_view name;
  UrlPlace parent;
  std::uint8_t depth;        // the root is at depth 0
  std::uint8_t first_child;  // children are contiguous places
  std::uint8_t child_count;
};

constexpr std::uint8_t Index(UrlPlace place) { return static_cast<std::uint8_t>(place); }

constexpr PlaceInfo Leaf(std::string_view name, UrlPlace parent, std::uint8_t depth) {
  return {name, parent, depth, 0, 0};
}

// Indexed by UrlPlace; children in match order.
constexpr PlaceInfo kPlaces[] = {
    {"", UrlPlace::kRoot, 0, Index(UrlPlace::kSession), 3},
    {"session", UrlPlace::kRoot, 1, Index(UrlPlace::kProject), 1},
    Leaf("model", UrlPlace::kRoot, 1),
    {"app", UrlPlace::kRoot, 1, Index(UrlPlace::kTemplate), 1},
    {"project", UrlPlace::kSession, 2, Index(UrlPlace::kWorker), 14},
    {"worker", UrlPlace::kProject, 3, Index(UrlPlace::kWorkerData), 6},
    Leaf("link", UrlPlace::kProject, 3),
    Leaf("input", UrlPlace::kProject, 3),
    Leaf("output", UrlPlace::kProject, 3),
    Leaf("property", UrlPlace::kProject, 3),
    Leaf("cache", UrlPlace::kProject, 3),
    Leaf("statistic", UrlPlace::kProject, 3),
    Leaf("preview", UrlPlace::kProject, 3),
    Leaf("model", UrlPlace::kProject, 3),
    Leaf("status", UrlPlace::kProject, 3),
    Leaf("config", UrlPlace::kProject, 3),
    Leaf("error", UrlPlace::kProject, 3),
    {"setting", UrlPlace::kProject, 3, Index(UrlPlace::kSettingProperty), 1},
    Leaf("settings", UrlPlace::kProject, 3),
    Leaf("data", UrlPlace::kWorker, 4),
    Leaf("property", UrlPlace::kWorker, 4),
    Leaf("system", UrlPlace::kWorker, 4),
    Leaf("input", UrlPlace::kWorker, 4),
    Leaf("output", UrlPlace::kWorker, 4),
    Leaf("port", UrlPlace::kWorker, 4),
    Leaf("property", UrlPlace::kSetting, 4),
    Leaf("template", UrlPlace::kApp, 2),
};
static_assert(std::size(kPlaces) == Index(UrlPlace::kTemplate) + 1);

constexpr const PlaceInfo& Info(UrlPlace place) { return kPlaces[Index(place)]; }

// Every child lies one level below its parent and names it as its parent.
constexpr bool TreeIsConsistent() {
  for (std::uint8_t i = 0; i < std::size(kPlaces); ++i) {
    for (std::uint8_t c = 0; c < kPlaces[i].child_count; ++c) {
      const PlaceInfo& child = kPlaces[kPlaces[i].first_child + c];
      if (Index(child.parent) != i || child.depth != kPlaces[i].depth + 1) return false;
    }
  }
  return true;
}
static_assert(TreeIsConsistent());

// The first child of `parent` whose kind word begins with `name` (every word begins with the
// empty name), or none.
std::optional<UrlPlace> SelectChild(UrlPlace parent, std::string_view name) {
  const PlaceInfo& info = Info(parent);
  for (std::uint8_t c = 0; c < info.child_count; ++c) {
    const auto child = static_cast<UrlPlace>(info.first_child + c);
    if (Info(child).name.starts_with(name)) return child;
  }
  return std::nullopt;
}

// The URL without its ids: a ":" outside an id opens one, which runs to the next "/".
std::string PathOf(std::string_view url) {
  std::string path;
  path.reserve(url.size());
  size_t start = 0;
  while (start < url.size()) {
    const size_t colon = url.find(':', start);
    path.append(url.substr(start, colon - start));
    if (colon == std::string_view::npos) break;
    start = url.find('/', colon);
  }
  if (path.empty()) path = "/";
  return path;
}

struct IdRule {
  std::string_view path_prefix;
  UrlPlace place;
  std::string_view reason;
};

// In the order the checks run; the first failing one answers.
constexpr IdRule kIdRules[] = {
    {"/model", UrlPlace::kModel, "/model:id required"},
    {"/session", UrlPlace::kSession, "/session:id required"},
    {"/session/project", UrlPlace::kProject, "/session/project:id required"},
    {"/session/project/property", UrlPlace::kProperty, "/session/project/property:id required"},
    {"/session/project/input", UrlPlace::kInput, "/session/project/input:id required"},
    {"/session/project/output", UrlPlace::kOutput, "/session/project/output:id required"},
    {"/session/project/link", UrlPlace::kLink, "/session/project/link:id required"},
    {"/session/project/worker", UrlPlace::kWorker, "/session/project/worker:id required"},
    {"/session/project/statistic", UrlPlace::kStatistic, "/session/project/statistic:id required"},
    {"/session/project/worker/property", UrlPlace::kWorkerProperty,
     "/session/project/worker/property:id required"},
};

}  // namespace

std::string_view ObjectUrlNode::GetName() const { return Info(place_).name; }

bool ObjectUrlNode::HasId() const {
  const ObjectUrl::Selection* selection = url_->FindSelection(place_);
  return selection != nullptr && selection->has_id;
}

std::string_view ObjectUrlNode::GetId() const {
  const ObjectUrl::Selection* selection = url_->FindSelection(place_);
  if (selection == nullptr) return {};
  return std::string_view(url_->url_).substr(selection->id_offset, selection->id_length);
}

std::optional<ObjectUrlNode> ObjectUrlNode::GetParent() const {
  if (place_ == UrlPlace::kRoot) return std::nullopt;
  return ObjectUrlNode(url_, Info(place_).parent);
}

std::string ObjectUrlNode::BuildUrl() const {
  // Collected bottom-up, written top-down.
  std::array<UrlPlace, ObjectUrl::kMaxDepth> chain;
  size_t depth = 0;
  for (UrlPlace place = place_; place != UrlPlace::kRoot; place = Info(place).parent) {
    chain[depth++] = place;
  }
  std::string url;
  while (depth > 0) {
    const ObjectUrlNode node(url_, chain[--depth]);
    url += '/';
    url += node.GetName();
    if (node.HasId()) {
      url += ':';
      url += node.GetId();
    }
  }
  return url;
}

ObjectUrl::ObjectUrl(std::string_view url) : url_(url.substr(0, url.find('\0'))) {
  path_ = PathOf(url_);
  Match();
}

// Each step selects one child of the node the previous step selected; a segment without an
// id, or one that selects nothing, ends the walk.
void ObjectUrl::Match() {
  const std::string_view text(url_);
  UrlPlace node = UrlPlace::kRoot;
  size_t start = 0;  // at the "/" that opens the next segment
  while (selected_count_ < kMaxDepth && text.size() - start > 1 && text[start] == '/') {
    const size_t segment = start + 1;
    size_t end = text.find('/', segment);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view body = text.substr(segment, end - segment);
    const size_t colon = body.rfind(':');
    const std::optional<UrlPlace> child = SelectChild(node, body.substr(0, colon));
    if (!child) break;
    Selection& selection = selected_[selected_count_++];
    selection.place = *child;
    if (colon == std::string_view::npos) break;
    selection.has_id = true;
    selection.id_offset = segment + colon + 1;
    selection.id_length = end - selection.id_offset;
    node = *child;
    start = end;
  }
}

const ObjectUrl::Selection* ObjectUrl::FindSelection(UrlPlace place) const {
  const size_t depth = Info(place).depth;
  if (depth == 0 || depth > selected_count_) return nullptr;
  const Selection& selection = selected_[depth - 1];
  return selection.place == place ? &selection : nullptr;
}

std::optional<ObjectUrlNode> ObjectUrl::GetMatchedNode() const {
  if (selected_count_ == 0) return std::nullopt;
  return ObjectUrlNode(this, selected_[selected_count_ - 1].place);
}

std::vector<std::string_view> KindsBelow(UrlPlace place) {
  const PlaceInfo& info = Info(place);
  std::vector<std::string_view> kinds;
  kinds.reserve(info.child_count);
  for (std::uint8_t c = 0; c < info.child_count; ++c) {
    kinds.push_back(kPlaces[info.first_child + c].name);
  }
  return kinds;
}

grpc::Status CheckUrlNotEmpty(const std::string& url) {
  if (url.empty()) return grpc::Status(grpc::StatusCode::INVALID_ARGUMENT, "Url is empty");
  return grpc::Status::OK;
}

grpc::Status ValidateObjectUrl(const std::string& url) {
  grpc::Status status = CheckUrlNotEmpty(url);
  if (!status.ok()) return status;
  const ObjectUrl parsed(url);
  for (const IdRule& rule : kIdRules) {
    if (parsed.GetPath().starts_with(rule.path_prefix) && !parsed.Node(rule.place).HasId()) {
      return MakeInvalidUrlStatus(url, std::string(rule.reason));
    }
  }
  return grpc::Status::OK;
}

grpc::Status MakeInvalidUrlStatus(const std::string& url, const std::string& reason) {
  return grpc::Status(grpc::StatusCode::INVALID_ARGUMENT,
                      fmt::format("Invalid url: {}, {}", zelph::QuoteClientText(url), reason));
}
