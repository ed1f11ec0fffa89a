// depth_first_order.h
//
// The depth-first search the graph strategies order their workers with: it lists every
// worker after all the workers it reaches, and finds loops. The search path lives on the
// heap, so a chain of any length cannot exhaust the stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace zelph::chains {

class DepthFirstOrder {
 public:
  // A neighbour of this value is skipped (an edge to a worker outside the chain).
  static constexpr size_t kNoNode = std::numeric_limits<size_t>::max();

  // Forgets earlier searches: `count` nodes, none visited.
  void Reset(size_t count) { state_.assign(count, kNotVisited); }
  void Clear() { state_.clear(); }
  bool IsVisited(size_t node) const { return state_[node] != kNotVisited; }

  // Searches from `start` over the edges of each node (`degree(node)` of them, the i-th
  // leading to `neighbour(node, i)`), appending each node to `finished` once every node it
  // reaches is there. Returns false when an edge leads back onto the current path: a loop.
  template <typename Degree, typename Neighbour>
  bool Visit(size_t start, Degree degree, Neighbour neighbour, std::vector<size_t>& finished) {
    // Each frame is a node on the path and the next of its edges to follow.
    std::vector<std::pair<size_t, size_t>> path;
    state_[start] = kOnPath;
    path.emplace_back(start, 0);
    while (!path.empty()) {
      auto& [node, next_edge] = path.back();
      if (next_edge == degree(node)) {
        state_[node] = kFinished;
        finished.push_back(node);
        path.pop_back();
        continue;
      }
      const size_t to = neighbour(node, next_edge++);
      if (to == kNoNode) continue;
      if (state_[to] == kOnPath) return false;
      if (state_[to] == kNotVisited) {
        state_[to] = kOnPath;
        path.emplace_back(to, 0);
      }
    }
    return true;
  }

 private:
  enum State : std::uint8_t { kNotVisited, kOnPath, kFinished };
  std::vector<State> state_;
};

}  // namespace zelph::chains
